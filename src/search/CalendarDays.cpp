#include "CalendarDays.h"

namespace snipbrook {

QDateTime calendarDaysBefore(const QDateTime &localNow, qint64 days, const QTimeZone &zone)
{
    // Far beyond any representable date; QDate would overflow its day number.
    constexpr qint64 maxDays = 100'000'000'000LL;
    if (!localNow.isValid() || days > maxDays || days < -maxDays)
        return {};
    const QDate date = localNow.date().addDays(-days);
    if (!date.isValid())
        return {};
    const QTime time = localNow.time();
    QDateTime result(date, time, zone);
    if (result.isValid())
        return result;
    // The wall time falls in a gap: read it with the offset in force before the change, which
    // lands the same distance past the gap's end.
    const QDateTime asUtc(date, time, Qt::UTC);
    if (!asUtc.isValid())
        return {};
    const int offsetBefore = zone.offsetFromUtc(asUtc.addDays(-1));
    result = asUtc.addSecs(-offsetBefore).toTimeZone(zone);
    return result;
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
