#include "QueryContext.h"

#include "core/CalendarDays.h"

#include <QRegularExpression>

#include <array>
#include <utility>

namespace snipbrook {
namespace {

constexpr std::array<std::pair<const char *, const char *>, 7> typeWords{{
    {"code", "code"},
    {"link", "link"},
    {"url", "link"},
    {"text", "text"},
    {"image", "image"},
    {"file", "file"},
    {"email", "email"},
}};

// The day count of "N days ago": its digits must be ASCII and fit a day count the calendar can
// go back by (anything else, such as Arabic-Indic digits or a 30-digit number, sets no cutoff).
std::optional<qint64> dayCount(const QString &digits)
{
    qint64 days = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        days = days * 10 + (c.unicode() - u'0');
        if (days > 100'000'000) // far beyond any capture time, and before integer overflow
            return std::nullopt;
    }
    return days;
}

std::optional<QDateTime> timeCutoff(const QString &q, const Clock &clock)
{
    const QTimeZone zone = clock.timeZone();
    const QDateTime now = clock.localNow();
    if (q.contains(QLatin1String("today")))
        return startOfCalendarDay(now, zone);
    if (q.contains(QLatin1String("yesterday")))
        return startOfCalendarDay(calendarDaysBefore(now, 1, zone), zone);
    if (q.contains(QLatin1String("last week")))
        return calendarDaysBefore(now, 7, zone);

    static const QRegularExpression daysAgo(QStringLiteral("(\\d+)\\s+days?\\s+ago"));
    const QRegularExpressionMatch match = daysAgo.match(q);
    if (!match.hasMatch())
        return std::nullopt;
    const auto days = dayCount(match.captured(1));
    if (!days)
        return std::nullopt;
    const QDateTime cutoff = calendarDaysBefore(now, *days, zone);
    if (!cutoff.isValid())
        return std::nullopt;
    return cutoff;
}

} // namespace

QueryContext QueryContext::fromQuery(const QString &query, const Clock &clock)
{
    const QString q = query.toLower();
    QueryContext context;
    for (const auto &[word, type] : typeWords)
        if (q.contains(QLatin1String(word)))
            context.types.insert(QLatin1String(type));
    // Held in UTC: the same instant, and cheap to compare for every candidate.
    if (const auto cutoff = timeCutoff(q, clock))
        context.cutoff = cutoff->toUTC();
    return context;
}

bool QueryContext::admits(const QMap<QString, QString> &metadata, qint64 timestampMs) const
{
    const auto type = metadata.constFind(QStringLiteral("type"));
    return admits(type != metadata.cend() ? std::optional(*type) : std::nullopt, timestampMs);
}

bool QueryContext::admits(const std::optional<QString> &type, qint64 timestampMs) const
{
    if (cutoff && timestampMs < cutoff->toMSecsSinceEpoch())
        return false;
    return types.isEmpty() || !type || types.contains(*type);
}

} // namespace snipbrook
