#include "ConfigJson.h"

#include "model/Uuid.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace snipbrook::configjson {

QUuid uuid(StrictJson &in, QLatin1StringView key)
{
    const QString text = in.string(key);
    if (!in.ok())
        return {};
    const std::optional<QUuid> id = parseUuid(text);
    if (!id)
        in.fail();
    return id.value_or(QUuid());
}

namespace {

std::optional<QStringList> strings(const QJsonArray &array)
{
    QStringList list;
    list.reserve(array.size());
    for (const QJsonValue &value : array) {
        if (!value.isString())
            return std::nullopt;
        list.append(value.toString());
    }
    return list;
}

} // namespace

QStringList stringList(StrictJson &in, QLatin1StringView key)
{
    const std::optional<QStringList> list = strings(in.array(key));
    if (!list)
        in.fail();
    return list.value_or(QStringList());
}

std::optional<QStringList> optionalStringList(StrictJson &in, QLatin1StringView key)
{
    const std::optional<QJsonArray> array = in.optionalArray(key);
    if (!array)
        return std::nullopt;
    std::optional<QStringList> list = strings(*array);
    if (!list)
        in.fail();
    return list;
}

QJsonArray toJsonArray(const QStringList &strings) { return QJsonArray::fromStringList(strings); }

double jsonNumber(float value)
{
    if (!std::isfinite(value))
        return value;
    // from_chars, unlike strtod, ignores the locale Qt sets up at start.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double shortest = value;
    std::from_chars(text, written.ptr, shortest);
    return shortest;
}

float floatNumber(StrictJson &in, QLatin1StringView key)
{
    const double value = in.number(key);
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        in.fail();
        return 0.0F;
    }
    return static_cast<float>(value);
}

} // namespace snipbrook::configjson
