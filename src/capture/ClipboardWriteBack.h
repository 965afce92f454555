#pragma once

#include "model/ClipboardCopyError.h"
#include "model/ClipboardItem.h"
#include "platform/Pasteboard.h"

#include <QByteArray>

#include <optional>

namespace snipbrook {

// Writes an item onto the (already cleared) clipboard in the form its kind calls for: an image
// as PNG, a file as its URL, a colour as text plus colour data, everything else as plain text.
// Nothing on success; the reason otherwise (undecodable image, or a write the clipboard refused).
std::optional<ClipboardCopyError> writeItemToPasteboard(const ClipboardItem &item, Pasteboard &pasteboard);

// Standard Base64, padding included; any other character, or a wrong length, gives nothing.
std::optional<QByteArray> decodeStrictBase64(const QString &text);

// The "application/x-color" bytes for a colour written as six hex digits with or without "#":
// red, green, blue and alpha as 16-bit values in native byte order, opaque. Nothing when the
// text is not six characters long.
std::optional<QByteArray> colorDataForHex(const QString &text);

} // namespace snipbrook
