#include "QueryHints.h"

#include "core/CalendarDays.h"

#include <QRegularExpression>

#include <array>
#include <utility>

namespace snipbrook {
namespace {

constexpr qint64 dayMSecs = 86'400'000;

struct AppAlias {
    QLatin1StringView keyWord;
    std::array<QLatin1StringView, 2> fragments; // an empty second fragment means none
};

const std::array<AppAlias, 7> appAliases{{
    {QLatin1StringView("discord"), {QLatin1StringView("discord"), {}}},
    {QLatin1StringView("slack"), {QLatin1StringView("slack"), {}}},
    {QLatin1StringView("chrome"), {QLatin1StringView("chrome"), QLatin1StringView("google chrome")}},
    {QLatin1StringView("safari"), {QLatin1StringView("safari"), {}}},
    {QLatin1StringView("xcode"), {QLatin1StringView("xcode"), {}}},
    {QLatin1StringView("notes"), {QLatin1StringView("notes"), {}}},
    {QLatin1StringView("messages"), {QLatin1StringView("messages"), QLatin1StringView("imessage")}},
}};

const std::array<std::pair<QLatin1StringView, ClipboardItemType>, 6> typeWords{{
    {QLatin1StringView("code"), ClipboardItemType::code},
    {QLatin1StringView("link"), ClipboardItemType::link},
    {QLatin1StringView("url"), ClipboardItemType::link},
    {QLatin1StringView("text"), ClipboardItemType::text},
    {QLatin1StringView("image"), ClipboardItemType::image},
    {QLatin1StringView("file"), ClipboardItemType::file},
}};

// "3 days ago", "1 day ago"; \d and \s in their Unicode sense.
const QRegularExpression &daysAgoPattern()
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+)\\s+days?\\s+ago"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// The whole number written by the decimal digits of `text`; only ASCII digits read as a number,
// so other scripts' digits and values beyond 64 bits give nothing.
std::optional<qint64> wholeNumberFromDigits(const QString &text)
{
    qint64 value = 0;
    bool any = false;
    for (const QChar c : text) {
        if (!c.isDigit())
            continue;
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (__builtin_mul_overflow(value, qint64(10), &value) ||
            __builtin_add_overflow(value, qint64(c.unicode() - u'0'), &value))
            return std::nullopt;
        any = true;
    }
    return any ? std::optional(value) : std::nullopt;
}

} // namespace

QueryHints::QueryHints(const QString &query, const Clock &clock) : m_lowerQuery(query.toLower())
{
    readTimeRule(clock);
}

void QueryHints::readTimeRule(const Clock &clock)
{
    m_zone = clock.timeZone();
    const QDateTime now = clock.localNow();
    const auto orNow = [&](const QDateTime &date) { return date.isValid() ? date : now; };

    if (m_lowerQuery.contains(QLatin1StringView("today"))) {
        m_timeRule = TimeRule::sameDay;
        m_reference = now;
    } else if (m_lowerQuery.contains(QLatin1StringView("yesterday"))) {
        m_timeRule = TimeRule::sameDay;
        m_reference = orNow(calendarDaysBefore(now, 1, m_zone));
    } else if (m_lowerQuery.contains(QLatin1StringView("last week"))) {
        m_timeRule = TimeRule::between;
        m_reference = orNow(calendarDaysBefore(now, 7, m_zone));
        m_upperBound = startOfCalendarDay(now, m_zone);
    } else if (const QRegularExpressionMatch match = daysAgoPattern().match(m_lowerQuery); match.hasMatch()) {
        const std::optional<qint64> days = wholeNumberFromDigits(match.captured(0));
        if (!days)
            return; // unreadable count: no bonus from any rule
        m_timeRule = TimeRule::nearTime;
        m_reference = orNow(calendarDaysBefore(now, *days, m_zone));
    }
}

float QueryHints::timeBonus(const QDateTime &timestamp) const
{
    switch (m_timeRule) {
    case TimeRule::none:
        return 0.0f;
    case TimeRule::sameDay:
        return isSameCalendarDay(timestamp, m_reference, m_zone) ? timeBonusValue : 0.0f;
    case TimeRule::between:
        return timestamp > m_reference && timestamp < m_upperBound ? timeBonusValue : 0.0f;
    case TimeRule::nearTime:
        return qAbs(timestamp.toMSecsSinceEpoch() - m_reference.toMSecsSinceEpoch()) < dayMSecs ? timeBonusValue
                                                                                                : 0.0f;
    }
    return 0.0f;
}

float QueryHints::appBonus(const std::optional<QString> &appName) const
{
    if (!appName || appName->isEmpty())
        return 0.0f;
    const QString name = appName->toLower();
    if (m_lowerQuery.contains(name) || name.contains(m_lowerQuery))
        return appBonusValue;
    for (const AppAlias &alias : appAliases) {
        if (!m_lowerQuery.contains(alias.keyWord))
            continue;
        for (const QLatin1StringView fragment : alias.fragments) {
            if (!fragment.isEmpty() && name.contains(fragment))
                return appBonusValue;
        }
    }
    return 0.0f;
}

float QueryHints::typeBonus(ClipboardItemType type) const
{
    for (const auto &[word, wordType] : typeWords) {
        if (wordType == type && m_lowerQuery.contains(word))
            return typeBonusValue;
    }
    return 0.0f;
}

} // namespace snipbrook
