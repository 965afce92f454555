#include "ClipboardItem.h"

#include "ReferenceDate.h"
#include "StrictJson.h"
#include "UnicodeText.h"
#include "Uuid.h"

#include <QCryptographicHash>

namespace snipbrook {

bool ClipboardItem::hasNonBlankContent() const
{
    return isContentInStore() || !trimWhitespaceAndNewlines(content).isEmpty();
}

QByteArray contentDigest(QByteArrayView utf8Content)
{
    // Collision-resistant, since equal digests make one image replace another, and about as
    // quick as SHA-1 here.
    return QCryptographicHash::hash(utf8Content, QCryptographicHash::Blake2b_256);
}

QJsonObject ClipboardItem::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), uuidString(id));
    o.insert(QLatin1String("type"), rawValue(type));
    o.insert(QLatin1String("content"), content);
    o.insert(QLatin1String("preview"), preview);
    o.insert(QLatin1String("timestamp"), referenceSecondsFromDate(timestamp));
    if (metadata)
        o.insert(QLatin1String("metadata"), metadata->toJson());
    o.insert(QLatin1String("isFavorite"), isFavorite);
    return o;
}

std::optional<ClipboardItem> ClipboardItem::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    const QString idText = in.string(QLatin1String("id"));
    const QString typeText = in.string(QLatin1String("type"));
    ClipboardItem item;
    item.content = in.string(QLatin1String("content"));
    item.preview = in.string(QLatin1String("preview"));
    const double seconds = in.number(QLatin1String("timestamp"));
    item.isFavorite = in.boolean(QLatin1String("isFavorite"));
    const auto metadataObject = in.optionalObject(QLatin1String("metadata"));
    if (!in.ok())
        return std::nullopt;

    const auto id = parseUuid(idText);
    const auto type = clipboardItemTypeFromRaw(typeText);
    item.timestamp = dateFromReferenceSeconds(seconds);
    if (!id || !type || !item.timestamp.isValid())
        return std::nullopt;
    item.id = *id;
    item.type = *type;
    if (metadataObject) {
        item.metadata = ClipboardMetadata::fromJson(*metadataObject);
        if (!item.metadata)
            return std::nullopt;
    }
    return item;
}

} // namespace snipbrook
