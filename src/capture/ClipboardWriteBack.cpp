#include "ClipboardWriteBack.h"

#include "model/UnicodeText.h"

#include <QBuffer>
#include <QImage>

#include <array>
#include <cstring>

namespace snipbrook {
namespace {

ClipboardCopyError refused(const QString &type)
{
    return ClipboardCopyError::pasteboardError(QStringLiteral("the clipboard refused the ") + type + QStringLiteral(" data"));
}

std::optional<ClipboardCopyError> writeText(Pasteboard &pasteboard, const QString &text)
{
    if (!pasteboard.writeText(text))
        return refused(mime::plainText);
    return std::nullopt;
}

// The image re-encoded as PNG; the decoded bytes as they are when they are no image Qt can read.
std::optional<ClipboardCopyError> writeImage(const ClipboardItem &item, Pasteboard &pasteboard)
{
    const std::optional<QByteArray> bytes = decodeStrictBase64(item.content);
    if (!bytes)
        return ClipboardCopyError::invalidImageData();
    QByteArray png;
    const QImage image = QImage::fromData(*bytes);
    if (!image.isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            png.clear();
    }
    if (!pasteboard.writeData(mime::png, png.isEmpty() ? *bytes : png))
        return refused(mime::png);
    return std::nullopt;
}

std::optional<ClipboardCopyError> writeFile(const ClipboardItem &item, Pasteboard &pasteboard)
{
    const std::optional<QString> urlText = item.metadata ? item.metadata->url : std::nullopt;
    if (urlText && !urlText->isEmpty()) {
        const QUrl url(*urlText, QUrl::StrictMode);
        if (url.isValid()) {
            if (!pasteboard.writeUrls({url}))
                return refused(mime::uriList);
            return std::nullopt;
        }
    }
    return writeText(pasteboard, item.content);
}

std::optional<ClipboardCopyError> writeColor(const ClipboardItem &item, Pasteboard &pasteboard)
{
    if (auto error = writeText(pasteboard, item.content))
        return error;
    const std::optional<QByteArray> colorData = colorDataForHex(item.content);
    if (colorData && !pasteboard.writeData(mime::color, *colorData))
        return refused(mime::color);
    return std::nullopt;
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads a hexadecimal number as a scanner does: leading white space skipped, an optional "0x",
// then digits up to the first character that is not one. Nothing read gives 0.
quint32 scanHex(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i + 2 < text.size() && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X') &&
        hexDigitValue(text.at(i + 2)) >= 0)
        i += 2;
    quint32 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text.at(i));
        if (digit < 0)
            break;
        value = (value << 4) | quint32(digit);
    }
    return value;
}

} // namespace

std::optional<QByteArray> decodeStrictBase64(const QString &text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    QByteArray ascii;
    ascii.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        ascii.append(char(c.unicode()));
    }
    auto decoded = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (decoded.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return std::nullopt;
    return std::move(decoded.decoded);
}

std::optional<QByteArray> colorDataForHex(const QString &text)
{
    QString hex = trimWhitespaceAndNewlines(text);
    if (hex.startsWith(u'#'))
        hex.remove(0, 1);
    if (graphemeCount(hex, 7) != 6)
        return std::nullopt;
    const quint32 rgb = scanHex(hex);
    // 8-bit channels widen to 16 bits by repeating the byte (0xff → 0xffff), as X11 toolkits do.
    const std::array<quint16, 4> channels{quint16(((rgb >> 16) & 0xff) * 0x101), quint16(((rgb >> 8) & 0xff) * 0x101),
                                          quint16((rgb & 0xff) * 0x101), quint16(0xffff)};
    QByteArray bytes(sizeof(channels), Qt::Uninitialized);
    std::memcpy(bytes.data(), channels.data(), sizeof(channels));
    return bytes;
}

std::optional<ClipboardCopyError> writeItemToPasteboard(const ClipboardItem &item, Pasteboard &pasteboard)
{
    switch (item.type) {
    case ClipboardItemType::image:
        return writeImage(item, pasteboard);
    case ClipboardItemType::file:
        return writeFile(item, pasteboard);
    case ClipboardItemType::color:
        return writeColor(item, pasteboard);
    case ClipboardItemType::text:
    case ClipboardItemType::multipleFiles:
    case ClipboardItemType::link:
    case ClipboardItemType::code:
    case ClipboardItemType::email:
    case ClipboardItemType::phone:
    case ClipboardItemType::richText:
    case ClipboardItemType::emoji:
        break;
    }
    return writeText(pasteboard, item.content);
}

} // namespace snipbrook
