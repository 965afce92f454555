#pragma once

#include <QDateTime>
#include <QTimeZone>

namespace snipbrook {

// "Now" and the user's time zone. Every rule that depends on the calendar (today, yesterday,
// this week, "3 days ago") takes a Clock, so tests fix both.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual QTimeZone timeZone() const = 0;

    // `now` seen in the clock's time zone, for calendar arithmetic.
    QDateTime localNow() const { return now().toTimeZone(timeZone()); }
};

// The wall clock and the system time zone.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    QTimeZone timeZone() const override { return QTimeZone::systemTimeZone(); }

    static const SystemClock &instance()
    {
        static const SystemClock clock;
        return clock;
    }
};

} // namespace snipbrook
