#include "core/CalendarDays.h"

#include <optional>

namespace snipbrook {

QDateTime calendarDaysBefore(const QDateTime &localNow, qint64 days, const QTimeZone &zone)
{
    // Far beyond any representable date; QDate would overflow its day number.
    constexpr qint64 maxDays = 100'000'000'000LL;
    if (!localNow.isValid() || days > maxDays || days < -maxDays)
        return {};
    const QDate date = localNow.toTimeZone(zone).date().addDays(-days);
    if (!date.isValid())
        return {};
    const QDateTime asUtc(date, localNow.toTimeZone(zone).time(), Qt::UTC);
    if (!asUtc.isValid())
        return {};
    constexpr qint64 dayMs = 86'400'000;
    const qint64 wallClock = asUtc.toMSecsSinceEpoch();
    const auto offsetMsAt = [&](qint64 utcMs) {
        return qint64(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC))) * 1000;
    };
    // At most one offset change lies between a day earlier and a day later. A wall time that
    // occurs twice is taken at its first occurrence; one the zone skips moves forward by the gap
    // (read with the offset in force before the change).
    const qint64 offsetBefore = offsetMsAt(wallClock - dayMs);
    const qint64 offsetAfter = offsetMsAt(wallClock + dayMs);
    std::optional<qint64> instant;
    for (const qint64 offset : {offsetBefore, offsetAfter}) {
        const qint64 candidate = wallClock - offset;
        if (offsetMsAt(candidate) == offset && (!instant || candidate < *instant))
            instant = candidate;
    }
    return QDateTime::fromMSecsSinceEpoch(instant.value_or(wallClock - offsetBefore), zone);
}

bool isSameCalendarDay(const QDateTime &a, const QDateTime &b, const QTimeZone &zone)
{
    return a.toTimeZone(zone).date() == b.toTimeZone(zone).date();
}

QDateTime startOfCalendarDay(const QDateTime &localNow, const QTimeZone &zone)
{
    return localNow.toTimeZone(zone).date().startOfDay(zone);
}

} // namespace snipbrook
