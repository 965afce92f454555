#include "ItemCategories.h"

#include "core/CalendarDays.h"

#include <algorithm>

namespace snipbrook {
namespace {

constexpr qsizetype recentCount = 20;

// The items `keep` admits, at most `limit`, each marked as a favourite or not. When that is the
// whole list as it stands, the list itself is returned: it is shared, not copied, so the views
// of a large history do not each hold their own copy of it.
template <typename Keep>
QList<ClipboardItem> withFavoriteFlags(const QList<ClipboardItem> &items, qsizetype limit,
                                       const QSet<QUuid> &favorites, Keep keep)
{
    const auto unchanged = [&](const ClipboardItem &item) {
        return keep(item) && item.isFavorite == favorites.contains(item.id);
    };
    if (items.size() <= limit && std::all_of(items.cbegin(), items.cend(), unchanged))
        return items;

    QList<ClipboardItem> result;
    result.reserve(qMin(items.size(), limit));
    for (const ClipboardItem &item : items) {
        if (result.size() == limit)
            break;
        if (!keep(item))
            continue;
        result.append(item);
        result.last().isFavorite = favorites.contains(item.id);
    }
    return result;
}

} // namespace

QList<ClipboardItem> itemsForCategory(const QString &name, const QList<ClipboardItem> &items,
                                      const QSet<QUuid> &favorites, const QList<CategoryFilter> &typeCategories,
                                      const Clock &clock)
{
    const qsizetype all = items.size();
    const auto every = [](const ClipboardItem &) { return true; };

    if (name == QLatin1StringView("All"))
        return withFavoriteFlags(items, all, favorites, every);
    if (name == QLatin1StringView("Recent"))
        return withFavoriteFlags(items, recentCount, favorites, every);
    if (name == QLatin1StringView("Favorites") || name == QLatin1StringView("Starred"))
        return withFavoriteFlags(items, all, favorites, [](const ClipboardItem &item) { return item.isFavorite; });

    const QTimeZone zone = clock.timeZone();
    const QDateTime now = clock.localNow();
    // Day bounds as instants, so each item costs one comparison and no time-zone conversion.
    if (name == QLatin1StringView("Today")) {
        const qint64 start = now.date().startOfDay(zone).toMSecsSinceEpoch();
        const qint64 end = now.date().addDays(1).startOfDay(zone).toMSecsSinceEpoch();
        return withFavoriteFlags(items, all, favorites, [&](const ClipboardItem &item) {
            const qint64 time = item.timestamp.toMSecsSinceEpoch();
            return time >= start && time < end;
        });
    }
    if (name == QLatin1StringView("This Week")) {
        QDateTime since = calendarDaysBefore(now, 7, zone);
        if (!since.isValid())
            since = now;
        const qint64 start = since.toMSecsSinceEpoch();
        return withFavoriteFlags(items, all, favorites,
                                 [&](const ClipboardItem &item) { return item.timestamp.toMSecsSinceEpoch() >= start; });
    }

    for (const CategoryFilter &category : typeCategories) {
        if (category.name != name)
            continue;
        if (!category.type)
            break;
        const ClipboardItemType type = *category.type;
        return withFavoriteFlags(items, all, favorites, [type](const ClipboardItem &item) { return item.type == type; });
    }
    return withFavoriteFlags(items, all, favorites, every);
}

} // namespace snipbrook
