#include "ContentPreview.h"

namespace snipbrook {
namespace {

// How far past a cut line the next line is looked for; after a longer line the rest is not shown.
constexpr qsizetype maxLineScan = 64 * 1024;

const QString imagePlaceholder = QStringLiteral("\U0001F5BC\uFE0F");
const QString emailSymbol = QStringLiteral("\U0001F4E7");
const QString phoneSymbol = QStringLiteral("\U0001F4DE");

// The big symbol line holds an emoji or two; a stored preview that holds more (an older record,
// imported data) must not turn the symbol line into a text block.
QString symbolText(const QString &preview) { return cutForPreview(preview, 1, 8).trimmed(); }

bool isUnknownOrEmpty(const std::optional<QString> &value, const QString &unknown)
{
    return !value || value->trimmed().isEmpty() || value->trimmed() == unknown;
}

PreviewLook container(PreviewKind kind, const char *tint, qreal opacity)
{
    PreviewLook look;
    look.kind = kind;
    look.tintName = QString::fromLatin1(tint);
    look.tintOpacity = opacity;
    return look;
}

} // namespace

QString cutForPreview(const QString &text, int maxLines, int maxChars)
{
    QString result;
    int lines = 0;
    int lineLength = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            if (++lines >= maxLines)
                break;
            result.append(c);
            lineLength = 0;
            continue;
        }
        if (lineLength >= maxChars) {
            // The rest of a very long line is never drawn: go on at the next line break.
            if (result.back().isHighSurrogate())
                result.chop(1);
            // Looked for only so far, so painting a 5 MB line never scans all of it.
            const qsizetype next = QStringView(text).mid(i, maxLineScan).indexOf(QLatin1Char('\n'));
            if (next < 0)
                break;
            i += next - 1;
            continue;
        }
        if (c == QLatin1Char('\r'))
            continue;
        const bool control = c.category() == QChar::Other_Control && c != QLatin1Char('\t');
        result.append(control ? QLatin1Char(' ') : c);
        ++lineLength;
    }
    // A surrogate pair cut in half would draw as a box.
    if (!result.isEmpty() && result.back().isHighSurrogate())
        result.chop(1);
    return result;
}

std::optional<QColor> parseHexColor(const QString &text)
{
    QString hex = text.trimmed();
    if (hex.startsWith(QLatin1Char('#')))
        hex.remove(0, 1);
    if (hex.isEmpty() || hex.size() > 8)
        return std::nullopt;
    bool ok = false;
    const quint32 value = hex.toUInt(&ok, 16);
    // toUInt takes a leading sign or "0x"; only plain digits count.
    if (!ok || hex.contains(QLatin1Char('+')) || hex.contains(QLatin1Char('-')) || hex.contains(QLatin1Char('x'), Qt::CaseInsensitive))
        return std::nullopt;
    switch (hex.size()) {
    case 6:
        return QColor::fromRgb((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    case 8:
        return QColor::fromRgb((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    case 3:
        return QColor::fromRgbF(((value >> 8) & 0xF) / 15.0f, ((value >> 4) & 0xF) / 15.0f, (value & 0xF) / 15.0f);
    default:
        return std::nullopt;
    }
}

PreviewLook previewFor(const ClipboardItem &item)
{
    switch (item.type) {
    case ClipboardItemType::text:
    case ClipboardItemType::richText: {
        const bool rich = item.type == ClipboardItemType::richText;
        PreviewLook look = rich ? container(PreviewKind::richText, "blue", 0.05) : container(PreviewKind::text, "gray", 0.1);
        look.body = cutForPreview(item.content, 5);
        look.maxLines = 5;
        return look;
    }
    case ClipboardItemType::image: {
        PreviewLook look = container(PreviewKind::image, "gray", 0.2);
        look.symbol = imagePlaceholder; // shown until the thumbnail is there, and for broken data
        look.symbolPointSize = 40;
        look.symbolFallback = QStringLiteral("photo");
        return look;
    }
    case ClipboardItemType::file:
    case ClipboardItemType::multipleFiles: {
        const bool one = item.type == ClipboardItemType::file;
        PreviewLook look = container(one ? PreviewKind::file : PreviewKind::multipleFiles, "blue", 0.1);
        look.symbol = symbolText(item.preview);
        look.symbolPointSize = 40;
        look.symbolFallback = symbolName(item.type);
        look.maxLines = one ? 2 : 1;
        look.body = cutForPreview(item.content, look.maxLines);
        look.centred = true;
        return look;
    }
    case ClipboardItemType::link: {
        PreviewLook look = container(PreviewKind::link, "blue", 0.1);
        look.symbol = symbolText(item.preview);
        look.symbolPointSize = 30;
        look.symbolFallback = symbolName(item.type);
        look.maxLines = 3;
        look.body = cutForPreview(item.content, 3);
        look.centred = true;
        return look;
    }
    case ClipboardItemType::code: {
        PreviewLook look;
        look.kind = PreviewKind::code;
        look.fill = QColor::fromRgbF(0, 0, 0, 0.9f);
        const std::optional<QString> language = item.metadata ? item.metadata->language : std::nullopt;
        if (!isUnknownOrEmpty(language, QStringLiteral("unknown")))
            look.languageLine = language->trimmed().toUpper();
        look.maxLines = 4;
        look.body = cutForPreview(item.content, 4);
        return look;
    }
    case ClipboardItemType::email:
    case ClipboardItemType::phone: {
        const bool email = item.type == ClipboardItemType::email;
        PreviewLook look = email ? container(PreviewKind::email, "green", 0.1) : container(PreviewKind::phone, "purple", 0.1);
        look.symbol = email ? emailSymbol : phoneSymbol;
        look.symbolPointSize = 30;
        look.symbolFallback = symbolName(item.type);
        look.maxLines = email ? 2 : 1;
        look.body = cutForPreview(item.content, look.maxLines);
        look.centred = true;
        return look;
    }
    case ClipboardItemType::color: {
        PreviewLook look;
        look.kind = PreviewKind::color;
        look.fill = parseHexColor(item.content).value_or(QColor::fromRgbF(1, 0, 0, 0.7f));
        look.maxLines = 1;
        look.body = cutForPreview(item.content.trimmed(), 1, 40);
        look.centred = true;
        return look;
    }
    case ClipboardItemType::emoji: {
        PreviewLook look = container(PreviewKind::emoji, "yellow", 0.1);
        look.symbol = cutForPreview(item.content.trimmed(), 1, 16);
        look.symbolPointSize = 50;
        look.symbolFallback = symbolName(item.type);
        return look;
    }
    }
    return container(PreviewKind::text, "gray", 0.1);
}

MetadataBadges metadataBadges(const SharedOptional<ClipboardMetadata> &metadata, ClipboardItemType)
{
    MetadataBadges badges;
    if (!metadata)
        return badges;
    if (!isUnknownOrEmpty(metadata->sourceApp, QStringLiteral("Unknown"))) {
        badges.sourceApp = cutForPreview(metadata->sourceApp->trimmed(), 1, 40);
        badges.sourceAppBundle = metadata->sourceAppBundle.value_or(QString());
    }
    if (metadata->fileCount && *metadata->fileCount > 1)
        badges.fileCountText = QString::number(*metadata->fileCount) + QStringLiteral(" files");
    if (!isUnknownOrEmpty(metadata->language, QStringLiteral("unknown")))
        badges.language = cutForPreview(metadata->language->trimmed(), 1, 24);
    return badges;
}

QString cardAccessibleText(const ClipboardItem &item)
{
    if (item.type == ClipboardItemType::image)
        return QStringLiteral("Image");
    return cutForPreview(item.content, 3, 200).simplified();
}

} // namespace snipbrook
