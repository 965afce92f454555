#include "ClipboardMetadata.h"

#include "StrictJson.h"

#include <QJsonArray>

namespace snipbrook {

QJsonObject ClipboardMetadata::toJson() const
{
    QJsonObject o;
    if (size)
        o.insert(QLatin1String("size"), static_cast<double>(*size));
    if (fileCount)
        o.insert(QLatin1String("fileCount"), static_cast<double>(*fileCount));
    if (colorValue)
        o.insert(QLatin1String("colorValue"), *colorValue);
    if (url)
        o.insert(QLatin1String("url"), *url);
    if (language)
        o.insert(QLatin1String("language"), *language);
    if (sourceApp)
        o.insert(QLatin1String("sourceApp"), *sourceApp);
    if (sourceAppBundle)
        o.insert(QLatin1String("sourceAppBundle"), *sourceAppBundle);
    if (sourceProcessID)
        o.insert(QLatin1String("sourceProcessID"), *sourceProcessID);
    if (embedding) {
        QJsonArray values;
        for (float f : *embedding)
            values.append(static_cast<double>(f));
        o.insert(QLatin1String("embedding"), values);
    }
    if (embeddingVersion)
        o.insert(QLatin1String("embeddingVersion"), *embeddingVersion);
    return o;
}

std::optional<ClipboardMetadata> ClipboardMetadata::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    ClipboardMetadata m;
    m.size = in.optionalInteger(QLatin1String("size"));
    m.fileCount = in.optionalInteger(QLatin1String("fileCount"));
    m.colorValue = in.optionalString(QLatin1String("colorValue"));
    m.url = in.optionalString(QLatin1String("url"));
    m.language = in.optionalString(QLatin1String("language"));
    m.sourceApp = in.optionalString(QLatin1String("sourceApp"));
    m.sourceAppBundle = in.optionalString(QLatin1String("sourceAppBundle"));
    const QJsonValue pid = object.value(QLatin1String("sourceProcessID"));
    if (!pid.isUndefined() && !pid.isNull()) {
        const auto whole = StrictJson::wholeNumber(pid, std::numeric_limits<qint32>::min(),
                                                   std::numeric_limits<qint32>::max());
        if (!whole)
            return std::nullopt;
        m.sourceProcessID = static_cast<qint32>(*whole);
    }
    if (const auto values = in.optionalArray(QLatin1String("embedding"))) {
        std::vector<float> vector;
        vector.reserve(values->size());
        for (const QJsonValue &v : *values) {
            if (!v.isDouble())
                return std::nullopt;
            vector.push_back(static_cast<float>(v.toDouble()));
        }
        m.embedding = std::move(vector);
    }
    m.embeddingVersion = in.optionalString(QLatin1String("embeddingVersion"));
    if (!in.ok())
        return std::nullopt;
    return m;
}

} // namespace snipbrook
