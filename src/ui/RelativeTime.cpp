#include "RelativeTime.h"

#include <array>

namespace snipbrook {

QString relativeTimeText(const QDateTime &then, const QDateTime &now)
{
    if (!then.isValid() || !now.isValid())
        return {};
    const qint64 delta = then.secsTo(now);
    const qint64 seconds = delta < 0 ? -delta : delta;
    if (seconds < 1)
        return QStringLiteral("now");

    struct Unit {
        qint64 seconds;
        const char *name;
        bool plural; // "days", but "min", "hr"
    };
    // Largest first; a month counts 30 days and a year 365, as calendars matter little here.
    static constexpr std::array<Unit, 7> units{{
        {365 * 86400, "yr", false},
        {30 * 86400, "mo", false},
        {7 * 86400, "wk", false},
        {86400, "day", true},
        {3600, "hr", false},
        {60, "min", false},
        {1, "sec", false},
    }};
    for (const Unit &unit : units) {
        if (seconds < unit.seconds)
            continue;
        const qint64 count = seconds / unit.seconds;
        QString amount = QStringLiteral("%1 %2").arg(count).arg(QLatin1String(unit.name));
        if (unit.plural && count != 1)
            amount += QLatin1Char('s');
        return delta < 0 ? QStringLiteral("in ") + amount : amount + QStringLiteral(" ago");
    }
    return QStringLiteral("now");
}

} // namespace snipbrook
