#pragma once

#include "platform/Clock.h"

namespace snipbrook::test {

// A clock that stands still until the test moves it.
class FixedClock final : public Clock {
public:
    FixedClock(QDateTime now, QTimeZone zone) : m_now(std::move(now)), m_zone(std::move(zone)) {}

    // A local wall-clock time in the named zone, e.g. at("2024-03-10T12:00:00", "America/New_York").
    static FixedClock at(const char *localIso, const char *zoneId)
    {
        const QTimeZone zone(zoneId);
        QDateTime local = QDateTime::fromString(QString::fromLatin1(localIso), Qt::ISODate);
        local.setTimeZone(zone);
        return FixedClock(local, zone);
    }

    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }

    void set(QDateTime now) { m_now = std::move(now); }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
    QTimeZone m_zone;
};

} // namespace snipbrook::test
