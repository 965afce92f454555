#include "ClipboardEntities.h"

namespace snipbrook {

ClipboardMetadataEntity metadataEntityFrom(const ClipboardMetadata &metadata)
{
    ClipboardMetadataEntity entity;
    entity.size = metadata.size.value_or(0);
    entity.fileCount = metadata.fileCount.value_or(0);
    entity.colorValue = metadata.colorValue;
    entity.url = metadata.url;
    entity.language = metadata.language;
    entity.sourceApp = metadata.sourceApp;
    entity.sourceAppBundle = metadata.sourceAppBundle;
    entity.sourceProcessID = metadata.sourceProcessID.value_or(0);
    entity.embeddingVersion = metadata.embeddingVersion;
    return entity;
}

ClipboardItemEntity itemEntityFrom(const ClipboardItem &item)
{
    ClipboardItemEntity entity;
    entity.id = item.id;
    entity.type = rawValue(item.type);
    entity.content = item.content;
    entity.preview = item.preview;
    entity.contentDigest = item.storedContentDigest;
    if (item.timestamp.isValid())
        entity.timestamp = item.timestamp;
    entity.isFavorite = item.isFavorite;
    if (item.metadata)
        entity.metadata = metadataEntityFrom(*item.metadata);
    return entity;
}

ClipboardMetadata metadataFrom(const ClipboardMetadataEntity &entity)
{
    ClipboardMetadata metadata;
    if (entity.size >= 1)
        metadata.size = entity.size;
    if (entity.fileCount >= 1)
        metadata.fileCount = entity.fileCount;
    if (entity.sourceProcessID != 0)
        metadata.sourceProcessID = entity.sourceProcessID;
    metadata.colorValue = entity.colorValue;
    metadata.url = entity.url;
    metadata.language = entity.language;
    metadata.sourceApp = entity.sourceApp;
    metadata.sourceAppBundle = entity.sourceAppBundle;
    metadata.embeddingVersion = entity.embeddingVersion;
    return metadata;
}

} // namespace snipbrook
