#include "ui/ContentPreview.h"

#include <gtest/gtest.h>

namespace snipbrook::test {
namespace {

using Type = ClipboardItemType;

ClipboardItem item(Type type, const QString &content, const QString &preview = {})
{
    return {QUuid::createUuid(), type, content, preview.isEmpty() ? content : preview, {}, {}, false, {}};
}

ClipboardItem code(const QString &content, std::optional<QString> language)
{
    ClipboardItem result = item(Type::code, content);
    result.metadata = ClipboardMetadata{};
    result.metadata->language = std::move(language);
    return result;
}

TEST(ContentPreviewTest, EachKindGetsItsOwnPreviewAndTint)
{
    struct Case {
        Type type;
        PreviewKind kind;
        const char *tint;
        qreal opacity;
    };
    const Case cases[] = {
        {Type::text, PreviewKind::text, "gray", 0.1},          {Type::richText, PreviewKind::richText, "blue", 0.05},
        {Type::image, PreviewKind::image, "gray", 0.2},        {Type::file, PreviewKind::file, "blue", 0.1},
        {Type::multipleFiles, PreviewKind::multipleFiles, "blue", 0.1}, {Type::link, PreviewKind::link, "blue", 0.1},
        {Type::email, PreviewKind::email, "green", 0.1},       {Type::phone, PreviewKind::phone, "purple", 0.1},
        {Type::emoji, PreviewKind::emoji, "yellow", 0.1},
    };
    for (const Case &c : cases) {
        const PreviewLook look = previewFor(item(c.type, QStringLiteral("x")));
        EXPECT_EQ(look.kind, c.kind) << rawValue(c.type).toStdString();
        EXPECT_EQ(look.tintName, QLatin1String(c.tint)) << rawValue(c.type).toStdString();
        EXPECT_DOUBLE_EQ(look.tintOpacity, c.opacity) << rawValue(c.type).toStdString();
        EXPECT_FALSE(look.fill.isValid()) << rawValue(c.type).toStdString();
    }
    // Code and colour paint their own panel.
    EXPECT_EQ(previewFor(code("x", std::nullopt)).fill, QColor::fromRgbF(0, 0, 0, 0.9f));
    EXPECT_EQ(previewFor(item(Type::color, "#00ff00")).fill, QColor(0, 255, 0));
}

TEST(ContentPreviewTest, ABrokenImageShowsThePlaceholderAndALongStoredPreviewNoGiantSymbol)
{
    EXPECT_EQ(previewFor(item(Type::image, "not base64 !!")).symbol, QStringLiteral("\U0001F5BC\uFE0F"));
    EXPECT_LE(previewFor(item(Type::link, "https://x.org", QString(5000, QLatin1Char('w')))).symbol.size(), 8);
}

TEST(ContentPreviewTest, CodeShowsItsLanguageInUpperCaseUnlessUnknownOrMissing)
{
    EXPECT_EQ(previewFor(code("print(1)", QStringLiteral("python"))).languageLine, "PYTHON");
    EXPECT_TRUE(previewFor(code("print(1)", QStringLiteral("unknown"))).languageLine.isEmpty());
    EXPECT_TRUE(previewFor(code("print(1)", QStringLiteral("  "))).languageLine.isEmpty());
    EXPECT_TRUE(previewFor(code("print(1)", std::nullopt)).languageLine.isEmpty());
    ClipboardItem bare = item(Type::code, "x");
    EXPECT_TRUE(previewFor(bare).languageLine.isEmpty());
}

TEST(ContentPreviewTest, ColourThatDoesNotParseFillsTranslucentRedAndKeepsItsText)
{
    for (const char *text : {"#12345", "red", "#GGGGGG", ""}) {
        const PreviewLook look = previewFor(item(Type::color, QString::fromUtf8(text)));
        EXPECT_EQ(look.fill, QColor::fromRgbF(1, 0, 0, 0.7f)) << text;
        EXPECT_EQ(look.body, QString::fromUtf8(text)) << text;
    }
}

TEST(ContentPreviewTest, ParseHexColorReadsThreeSixAndEightDigitsOnly)
{
    EXPECT_EQ(parseHexColor("#FFF"), QColor(Qt::white));
    EXPECT_EQ(parseHexColor("  #1a2B3c \n"), QColor(0x1a, 0x2b, 0x3c));
    EXPECT_EQ(parseHexColor("1a2b3c"), QColor(0x1a, 0x2b, 0x3c));
    const std::optional<QColor> halfRed = parseHexColor("#FF000080");
    ASSERT_TRUE(halfRed);
    EXPECT_EQ(halfRed->red(), 255);
    EXPECT_EQ(halfRed->alpha(), 128);
    EXPECT_EQ(parseHexColor("#F80"), QColor(255, 136, 0));
    for (const char *bad : {"#12345", "#1234", "#", "", "blue", "##FFF", "#+FFFFF", "#0x1234", "#FFFFFFFFF", "#-12"})
        EXPECT_EQ(parseHexColor(QString::fromUtf8(bad)), std::nullopt) << bad;
}

TEST(ContentPreviewTest, TextIsCutAfterFiveLinesInBothTextPreviews)
{
    const QString seven = QStringLiteral("1\n2\n3\n4\n5\n6\n7");
    EXPECT_EQ(previewFor(item(Type::text, seven)).body, "1\n2\n3\n4\n5");
    EXPECT_EQ(previewFor(item(Type::richText, seven)).body, "1\n2\n3\n4\n5");
    EXPECT_EQ(previewFor(item(Type::text, seven)).maxLines, 5);
    EXPECT_EQ(previewFor(code(seven, std::nullopt)).body, "1\n2\n3\n4");
}

TEST(ContentPreviewTest, HugeLinesAndControlCharactersCannotReachThePainter)
{
    // A 5 MB single line keeps only what a card can show.
    const QString huge(5 * 1024 * 1024, QLatin1Char('a'));
    EXPECT_EQ(previewFor(item(Type::text, huge)).body.size(), previewLineChars);
    // A long line is cut, but the lines after it still show.
    const QString longThenShort = QString(1000, QLatin1Char('b')) + QStringLiteral("\nsecond");
    EXPECT_EQ(cutForPreview(longThenShort, 5), QString(previewLineChars, QLatin1Char('b')) + QStringLiteral("\nsecond"));
    // Control characters become spaces; tabs, right-to-left marks and Windows line ends are kept
    // or folded into ordinary lines.
    EXPECT_EQ(cutForPreview(QStringLiteral("a\x01\x1b[0mb\tc\r\nd\u200f"), 5), QStringLiteral("a  [0mb\tc\nd\u200f"));
    // A cut never leaves half a surrogate pair.
    const QString faces = QString(QStringLiteral("\U0001F600")).repeated(10);
    EXPECT_EQ(cutForPreview(faces, 1, 5), QString(QStringLiteral("\U0001F600")).repeated(2));
}

TEST(ContentPreviewTest, BadgesShowOnlyWhenTheirConditionHolds)
{
    EXPECT_TRUE(metadataBadges(std::nullopt, Type::text).isEmpty());

    ClipboardMetadata metadata;
    metadata.sourceApp = QStringLiteral("Firefox");
    metadata.sourceAppBundle = QStringLiteral("firefox");
    metadata.fileCount = 2;
    metadata.language = QStringLiteral("python");
    MetadataBadges badges = metadataBadges(metadata, Type::multipleFiles);
    EXPECT_EQ(badges.sourceApp, "Firefox");
    EXPECT_EQ(badges.sourceAppBundle, "firefox");
    EXPECT_EQ(badges.fileCountText, "2 files");
    EXPECT_EQ(badges.language, "python");

    metadata.sourceApp = QStringLiteral("Unknown");
    metadata.fileCount = 1;
    metadata.language = QStringLiteral("unknown");
    EXPECT_TRUE(metadataBadges(metadata, Type::file).isEmpty());
    metadata.sourceApp = QString();
    metadata.fileCount = 0;
    metadata.language = std::nullopt;
    EXPECT_TRUE(metadataBadges(metadata, Type::file).isEmpty());
}

TEST(ContentPreviewTest, ScreenReadersHearThePreviewTextOrImage)
{
    EXPECT_EQ(cardAccessibleText(item(Type::image, "iVBOR")), "Image");
    EXPECT_EQ(cardAccessibleText(item(Type::text, "  hello\n world  ")), "hello world");
    EXPECT_LE(cardAccessibleText(item(Type::text, QString(100000, QLatin1Char('z')))).size(), 200);
}

} // namespace
} // namespace snipbrook::test
