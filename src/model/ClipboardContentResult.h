#pragma once

#include "ClipboardItemType.h"
#include "ClipboardMetadata.h"

namespace snipbrook {

// What the reader makes of one clipboard change, before the history gives it an id and a time.
struct ClipboardContentResult {
    ClipboardItemType type = ClipboardItemType::text;
    QString content;
    QString preview;
    ClipboardMetadata metadata;

    bool operator==(const ClipboardContentResult &) const = default;
};

} // namespace snipbrook
