#include "ClipboardCopyError.h"

namespace snipbrook {

QString ClipboardCopyError::description() const
{
    switch (m_kind) {
    case Kind::pasteboardError:
        return QStringLiteral("Pasteboard error: ") + m_message;
    case Kind::invalidImageData:
        return QStringLiteral("Invalid image data");
    case Kind::invalidFileURL:
        return QStringLiteral("Invalid file URL");
    case Kind::unknownType:
        return QStringLiteral("Unknown clipboard item type");
    }
    return {};
}

} // namespace snipbrook
