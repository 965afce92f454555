#pragma once

#include "platform/Clock.h"

#include <QDateTime>

namespace snipbrook {

// Calendar arithmetic in the user's time zone, as the day words of searches and categories mean
// it: "7 days ago" keeps the wall-clock time, so across a daylight-saving change it is not
// 7 × 24 hours.

// The same wall-clock time `days` calendar days before `localNow` (a time in `zone`). A wall time
// that the zone skips (spring forward) moves forward by the gap. Invalid when the date cannot be
// formed.
QDateTime calendarDaysBefore(const QDateTime &localNow, qint64 days, const QTimeZone &zone);

// True when both instants fall on the same calendar day in `zone`.
bool isSameCalendarDay(const QDateTime &a, const QDateTime &b, const QTimeZone &zone);

// Midnight (or the day's first moment) of the calendar day of `localNow` in `zone`.
QDateTime startOfCalendarDay(const QDateTime &localNow, const QTimeZone &zone);

} // namespace snipbrook
