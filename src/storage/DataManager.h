#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

namespace snipbrook {

// Reads the history files of earlier versions from the documents folder. It never writes,
// renames or deletes them. A file that is not a JSON array gives nothing; in an array, each
// element is read on its own, and those that are not well formed are skipped, counted in one
// log line. Stateless, so any thread may call it.
class DataManager {
public:
    explicit DataManager(const QString &documentsPath);

    const QString documentsPath;
    const QString clipboardDataFileName = QStringLiteral("clipboard_history.json");
    const QString favoritesFileName = QStringLiteral("favorites.json");

    // The readable items of "clipboard_history.json" in file order; empty when missing or not JSON.
    QList<ClipboardItem> loadLegacyItems() const;
    // The readable ids listed in "favorites.json"; empty when missing or not JSON.
    QSet<QUuid> loadLegacyFavorites() const;
};

} // namespace snipbrook
