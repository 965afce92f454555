#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace snipbrook {

// Reads typed members of a JSON object for strict decoders. Any missing required member or any
// member of the wrong JSON type marks the whole read as failed; callers check ok() once at the
// end instead of after every member. Optional members treat null like absence.
class StrictJson {
public:
    explicit StrictJson(const QJsonObject &object) : m_object(object) {}

    bool ok() const { return m_ok; }
    // Marks the read as failed for a rule the caller checks itself (an unknown enum value, say).
    void fail() { m_ok = false; }

    QString string(QLatin1StringView key);
    bool boolean(QLatin1StringView key);
    double number(QLatin1StringView key);
    qint64 integer(QLatin1StringView key);
    QJsonObject object(QLatin1StringView key);
    QJsonArray array(QLatin1StringView key);

    std::optional<QString> optionalString(QLatin1StringView key);
    std::optional<bool> optionalBoolean(QLatin1StringView key);
    std::optional<double> optionalNumber(QLatin1StringView key);
    std::optional<qint64> optionalInteger(QLatin1StringView key);
    std::optional<QJsonObject> optionalObject(QLatin1StringView key);
    std::optional<QJsonArray> optionalArray(QLatin1StringView key);

    // A whole number that fits the given range; fractions and out-of-range values fail.
    static std::optional<qint64> wholeNumber(const QJsonValue &value,
                                             qint64 min = std::numeric_limits<qint64>::min(),
                                             qint64 max = std::numeric_limits<qint64>::max());

private:
    std::optional<QJsonValue> required(QLatin1StringView key, QJsonValue::Type type);
    std::optional<QJsonValue> optional(QLatin1StringView key, QJsonValue::Type type);

    const QJsonObject &m_object;
    bool m_ok = true;
};

} // namespace snipbrook
