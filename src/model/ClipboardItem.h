#pragma once

#include "ClipboardItemType.h"
#include "ClipboardMetadata.h"
#include "SharedOptional.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>
#include <QUuid>

#include <optional>

namespace snipbrook {

// One recorded piece of content. Identity and equality are the id alone; the duplicate rule of
// the history compares content and type instead.
struct ClipboardItem {
    QUuid id;
    ClipboardItemType type = ClipboardItemType::text;
    QString content;
    QString preview;
    QDateTime timestamp;
    SharedOptional<ClipboardMetadata> metadata;
    bool isFavorite = false;
    // Set on an image whose data the history leaves in the item store, so that memory does not
    // grow with the pictures kept: content and preview are then empty, and this digest of the
    // stored content stands in for it where contents are compared. The history reads the data
    // back when it is needed (ClipboardManager::withContent).
    QByteArray storedContentDigest;

    bool operator==(const ClipboardItem &other) const { return id == other.id; }

    bool isContentInStore() const { return !storedContentDigest.isEmpty(); }

    // False when content is empty once white space and line breaks are trimmed.
    bool hasNonBlankContent() const;

    // Not for an item whose content is in the store (its content would be written empty).
    QJsonObject toJson() const;
    // Strict: a missing or mistyped required key, an unknown type or a malformed id gives nothing.
    static std::optional<ClipboardItem> fromJson(const QJsonObject &object);
};

// Image items whose content (Base64 text) is longer than this many bytes are held without it.
inline constexpr qsizetype largeImageContentBytes = 16 * 1024;

// The digest that identifies an item's content (its UTF-8 text) for the duplicate rule.
QByteArray contentDigest(QByteArrayView utf8Content);

} // namespace snipbrook
