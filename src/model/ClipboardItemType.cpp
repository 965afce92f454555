#include "ClipboardItemType.h"

namespace snipbrook {
namespace {

struct TypeInfo {
    const char *raw;
    const char *display;
    const char *symbol;
    const char *tint;
};

// Indexed by the enum value; order matches the declaration.
constexpr TypeInfo typeInfo[] = {
    {"text", "Text", "doc.text", "blue"},
    {"image", "Image", "photo", "green"},
    {"file", "File", "doc", "orange"},
    {"multipleFiles", "Multiple Files", "doc.on.doc", "red"},
    {"link", "Link", "link", "purple"},
    {"code", "Code", "curlybraces", "cyan"},
    {"email", "Email", "envelope", "indigo"},
    {"phone", "Phone", "phone", "mint"},
    {"color", "Color", "paintpalette", "pink"},
    {"richText", "Rich Text", "textformat", "teal"},
    {"emoji", "Emoji", "face.smiling", "yellow"},
};
static_assert(std::size(typeInfo) == allClipboardItemTypes.size());

const TypeInfo &info(ClipboardItemType type) { return typeInfo[static_cast<int>(type)]; }

} // namespace

QString rawValue(ClipboardItemType type) { return QString::fromLatin1(info(type).raw); }

std::optional<ClipboardItemType> clipboardItemTypeFromRaw(const QString &raw)
{
    for (ClipboardItemType type : allClipboardItemTypes) {
        if (raw == QLatin1String(info(type).raw))
            return type;
    }
    return std::nullopt;
}

QString displayName(ClipboardItemType type) { return QString::fromLatin1(info(type).display); }
QString symbolName(ClipboardItemType type) { return QString::fromLatin1(info(type).symbol); }
QString tintColor(ClipboardItemType type) { return QString::fromLatin1(info(type).tint); }

} // namespace snipbrook
