#include "IndexText.h"

#include <QTimeZone>

#include <charconv>
#include <cmath>

namespace snipbrook {

std::optional<float> parseFloatComponent(std::string_view text)
{
    // from_chars also reads "nan", "inf" and "infinity"; a vector holding them scores nothing
    // sensible, so they count as unreadable like any other non-number.
    float value = 0.0f;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString internetDateTime(const QDateTime &time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const QDateTime whole = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    const QDate date = whole.date();
    const QTime clock = whole.time();
    return QStringLiteral("%1-%2-%3T%4:%5:%6Z")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(clock.hour(), 2, 10, QLatin1Char('0'))
        .arg(clock.minute(), 2, 10, QLatin1Char('0'))
        .arg(clock.second(), 2, 10, QLatin1Char('0'));
}

namespace {

// Reads `count` ASCII digits at `at`; nothing when any is not a digit.
std::optional<int> digits(QStringView text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(QStringView text)
{
    // 2024-05-01T09:30:00Z (20) or 2024-05-01T09:30:00+02:00 (25)
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    const auto separatorAt = [&](qsizetype at, char16_t c) { return text[at].unicode() == c; };
    if (!separatorAt(4, u'-') || !separatorAt(7, u'-') || !separatorAt(10, u'T') || !separatorAt(13, u':')
        || !separatorAt(16, u':'))
        return std::nullopt;
    const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    const QTime time(*hour, *minute, *second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;

    int offsetSeconds = 0;
    if (text.size() == 20) {
        if (!separatorAt(19, u'Z'))
            return std::nullopt;
    } else {
        const bool plus = separatorAt(19, u'+');
        if ((!plus && !separatorAt(19, u'-')) || !separatorAt(22, u':'))
            return std::nullopt;
        const auto offsetHours = digits(text, 20, 2), offsetMinutes = digits(text, 23, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (*offsetHours * 3600 + *offsetMinutes * 60) * (plus ? 1 : -1);
    }
    const QDateTime utc(date, time, Qt::UTC);
    return utc.addSecs(-offsetSeconds);
}

} // namespace snipbrook
