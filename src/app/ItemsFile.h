#pragma once

#include "model/ClipboardItem.h"

#include <QList>
#include <QString>

#include <optional>

namespace snipbrook {

// A file of items to import: a JSON array in the item model's form (the history file's form).
struct ItemsFile {
    std::optional<QString> error; // the file could not be read at all; nothing was taken
    QList<ClipboardItem> items;   // the well-formed entries, first occurrence of each id
    int unreadable = 0;           // entries not in the item form
    int repeated = 0;             // entries whose id came earlier in the file
    int tooLarge = 0;             // entries whose content exceeds the per-item limit

    int skipped() const { return unreadable + repeated + tooLarge; }
};

// Reads and checks the file (off the main thread: it may be large). Files over `maxFileBytes`
// are refused as a whole; entries whose content is over `maxItemBytes` (UTF-8) are skipped.
ItemsFile readItemsFile(const QString &path, qint64 maxFileBytes, qint64 maxItemBytes);

} // namespace snipbrook
