#pragma once

#include "ClipboardItemType.h"
#include "ClipboardMetadata.h"

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
    std::optional<ClipboardMetadata> metadata;
    bool isFavorite = false;

    bool operator==(const ClipboardItem &other) const { return id == other.id; }

    // False when content is empty once white space and line breaks are trimmed.
    bool hasNonBlankContent() const;

    QJsonObject toJson() const;
    // Strict: a missing or mistyped required key, an unknown type or a malformed id gives nothing.
    static std::optional<ClipboardItem> fromJson(const QJsonObject &object);
};

} // namespace snipbrook
