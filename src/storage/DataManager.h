#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

namespace snipbrook {

// Reads the history files of earlier versions from the documents folder. It never writes,
// renames or deletes them. Reading is all-or-nothing per file: one bad element empties the
// result. Stateless, so any thread may call it.
class DataManager {
public:
    explicit DataManager(const QString &documentsPath);

    const QString documentsPath;
    const QString clipboardDataFileName = QStringLiteral("clipboard_history.json");
    const QString favoritesFileName = QStringLiteral("favorites.json");

    // The items of "clipboard_history.json" in file order; empty when missing or unreadable.
    QList<ClipboardItem> loadLegacyItems() const;
    // The ids listed in "favorites.json"; empty when missing or unreadable.
    QSet<QUuid> loadLegacyFavorites() const;
};

} // namespace snipbrook
