#pragma once

#include "model/StrictJson.h"

#include <QJsonArray>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <optional>

// Pieces of the configuration records' strict JSON form that several records share.
namespace snipbrook::configjson {

// A required id in the 8-4-4-4-12 form, any letter case; anything else fails the read.
QUuid uuid(StrictJson &in, QLatin1StringView key);

// A required array whose every element is a string.
QStringList stringList(StrictJson &in, QLatin1StringView key);
std::optional<QStringList> optionalStringList(StrictJson &in, QLatin1StringView key);
QJsonArray toJsonArray(const QStringList &strings);

// A required array whose every element is an object that Record::fromJson accepts.
template <typename Record>
QList<Record> recordList(StrictJson &in, QLatin1StringView key)
{
    QList<Record> records;
    for (const QJsonValue &value : in.array(key)) {
        std::optional<Record> record;
        if (value.isObject())
            record = Record::fromJson(value.toObject());
        if (!record) {
            in.fail();
            return {};
        }
        records.append(std::move(*record));
    }
    return records;
}

template <typename Record>
QJsonArray toJsonArray(const QList<Record> &records)
{
    QJsonArray array;
    for (const Record &record : records)
        array.append(record.toJson());
    return array;
}

// A 32-bit float as the JSON number with the shortest text that reads back as the same float,
// so 0.7f is written 0.7 rather than 0.699999988079071.
double jsonNumber(float value);
// A required number that fits a 32-bit float.
float floatNumber(StrictJson &in, QLatin1StringView key);

} // namespace snipbrook::configjson
