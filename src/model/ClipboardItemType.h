#pragma once

#include <QString>

#include <array>
#include <optional>

namespace snipbrook {

// The eleven content kinds. The raw values spell a kind everywhere: JSON, the item store,
// category definitions and duplicate keys.
enum class ClipboardItemType {
    text,
    image,
    file,
    multipleFiles,
    link,
    code,
    email,
    phone,
    color,
    richText,
    emoji,
};

// Every kind in declaration order.
inline constexpr std::array<ClipboardItemType, 11> allClipboardItemTypes{
    ClipboardItemType::text,  ClipboardItemType::image,    ClipboardItemType::file,
    ClipboardItemType::multipleFiles, ClipboardItemType::link,  ClipboardItemType::code,
    ClipboardItemType::email, ClipboardItemType::phone,    ClipboardItemType::color,
    ClipboardItemType::richText, ClipboardItemType::emoji,
};

QString rawValue(ClipboardItemType type);
// Exact, case-sensitive match of one of the raw values; anything else gives no type.
std::optional<ClipboardItemType> clipboardItemTypeFromRaw(const QString &raw);

QString displayName(ClipboardItemType type);
// Name of the symbol image the views show for the kind.
QString symbolName(ClipboardItemType type);
// One of the lower-case named colours the views resolve (blue, green, …).
QString tintColor(ClipboardItemType type);

} // namespace snipbrook
