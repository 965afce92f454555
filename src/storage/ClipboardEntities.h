#pragma once

#include "model/ClipboardItem.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>

namespace snipbrook {

// The stored form of an item's metadata. Numbers use 0 for "absent"; the embedding vector is
// never stored here (it lives in the vector index).
struct ClipboardMetadataEntity {
    // The column holds 64 bits, so sizes and counts beyond 32 bits are kept as they are.
    qint64 size = 0;
    qint64 fileCount = 0;
    std::optional<QString> colorValue;
    std::optional<QString> url;
    std::optional<QString> language;
    std::optional<QString> sourceApp;
    std::optional<QString> sourceAppBundle;
    qint32 sourceProcessID = 0;
    std::optional<QString> embeddingVersion;

    bool operator==(const ClipboardMetadataEntity &) const = default;
};

// One stored history record as read from (or to be written to) the item store. Every text, id
// and date may be absent in a stored record; makeClipboardItem decides what that means.
struct ClipboardItemEntity {
    // The store's own key of the record; 0 for a record that was never stored.
    qint64 recordId = 0;
    std::optional<QUuid> id;
    std::optional<QString> type; // a ClipboardItemType raw value, or whatever the store holds
    std::optional<QString> content;
    std::optional<QString> preview;
    // Set when the read left a large image's content and preview out (both empty then): the
    // digest of the stored content. Such a record is never written back.
    QByteArray contentDigest;
    std::optional<QDateTime> timestamp;
    bool isFavorite = false;
    std::optional<ClipboardMetadataEntity> metadata;

    bool operator==(const ClipboardItemEntity &) const = default;
};

// The writing rules: absent numbers become 0, absent texts stay absent, the vector is dropped.
ClipboardMetadataEntity metadataEntityFrom(const ClipboardMetadata &metadata);
// A record for the item (not yet stored), with a metadata record only when the item has metadata.
ClipboardItemEntity itemEntityFrom(const ClipboardItem &item);

// The reading rules: size and file count only from 1, a process id only when not 0.
ClipboardMetadata metadataFrom(const ClipboardMetadataEntity &entity);

} // namespace snipbrook
