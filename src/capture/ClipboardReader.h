#pragma once

#include "model/ClipboardContentResult.h"
#include "model/SourceAppInfo.h"
#include "platform/Pasteboard.h"

#include <optional>

namespace snipbrook {

// Turns one clipboard snapshot into a typed result: image bytes first, then URLs, then plain
// text through the classification chain. No result means the change is not recorded (nothing
// readable, or content the copying application marked as secret).
std::optional<ClipboardContentResult> readClipboardContent(const PasteboardSnapshot &snapshot,
                                                           const SourceAppInfo &source);

// What the snapshot holds, in bytes: every representation's data, the text as UTF-8 and the URL
// list as encoded, so the size limit applies before anything is encoded or copied.
qint64 snapshotSize(const PasteboardSnapshot &snapshot);

// Sorts text into colour, link, e-mail, phone, emoji, code or plain text; always a result.
ClipboardContentResult classifyText(const QString &text, const SourceAppInfo &source);

// "swift", "python", "javascript" or "unknown", by the first marker found.
QString detectLanguage(const QString &text);

} // namespace snipbrook
