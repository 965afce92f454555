#pragma once

#include "model/ClipboardItem.h"
#include "platform/Clock.h"

#include <QList>
#include <QSet>
#include <QUuid>

#include <optional>

namespace snipbrook {

// How a sidebar category chooses from the history.
struct CategoryFilter {
    QString name;
    std::optional<ClipboardItemType> type;
};

// The items a sidebar category shows, in history order, each with its favourite flag taken from
// `favorites`. Names other than the built-in ones are looked up among `typeCategories`; an
// unknown name, or a category without a type, shows everything.
QList<ClipboardItem> itemsForCategory(const QString &name, const QList<ClipboardItem> &items,
                                      const QSet<QUuid> &favorites, const QList<CategoryFilter> &typeCategories,
                                      const Clock &clock);

} // namespace snipbrook
