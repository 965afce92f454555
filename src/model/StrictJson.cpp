#include "StrictJson.h"

#include <cmath>

namespace snipbrook {

std::optional<QJsonValue> StrictJson::required(QLatin1StringView key, QJsonValue::Type type)
{
    const QJsonValue value = m_object.value(key);
    if (value.type() != type) {
        m_ok = false;
        return std::nullopt;
    }
    return value;
}

std::optional<QJsonValue> StrictJson::optional(QLatin1StringView key, QJsonValue::Type type)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (value.type() != type) {
        m_ok = false;
        return std::nullopt;
    }
    return value;
}

std::optional<qint64> StrictJson::wholeNumber(const QJsonValue &value, qint64 min, qint64 max)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    // 2^63 itself is not representable as qint64, so compare against the doubles strictly.
    if (!std::isfinite(d) || std::floor(d) != d || d < static_cast<double>(min) ||
        d >= 9223372036854775808.0 || d > static_cast<double>(max))
        return std::nullopt;
    return static_cast<qint64>(d);
}

QString StrictJson::string(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::String);
    return v ? v->toString() : QString();
}

bool StrictJson::boolean(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::Bool);
    return v && v->toBool();
}

double StrictJson::number(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::Double);
    return v ? v->toDouble() : 0.0;
}

qint64 StrictJson::integer(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::Double);
    if (!v)
        return 0;
    const auto whole = wholeNumber(*v);
    if (!whole)
        m_ok = false;
    return whole.value_or(0);
}

QJsonObject StrictJson::object(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::Object);
    return v ? v->toObject() : QJsonObject();
}

QJsonArray StrictJson::array(QLatin1StringView key)
{
    const auto v = required(key, QJsonValue::Array);
    return v ? v->toArray() : QJsonArray();
}

std::optional<QString> StrictJson::optionalString(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::String);
    return v ? std::optional(v->toString()) : std::nullopt;
}

std::optional<bool> StrictJson::optionalBoolean(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::Bool);
    return v ? std::optional(v->toBool()) : std::nullopt;
}

std::optional<double> StrictJson::optionalNumber(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::Double);
    return v ? std::optional(v->toDouble()) : std::nullopt;
}

std::optional<qint64> StrictJson::optionalInteger(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::Double);
    if (!v)
        return std::nullopt;
    const auto whole = wholeNumber(*v);
    if (!whole)
        m_ok = false;
    return whole;
}

std::optional<QJsonObject> StrictJson::optionalObject(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::Object);
    return v ? std::optional(v->toObject()) : std::nullopt;
}

std::optional<QJsonArray> StrictJson::optionalArray(QLatin1StringView key)
{
    const auto v = optional(key, QJsonValue::Array);
    return v ? std::optional(v->toArray()) : std::nullopt;
}

} // namespace snipbrook
