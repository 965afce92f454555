#include "capture/ClipboardReader.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using Type = ClipboardItemType;

namespace {

const SourceAppInfo noSource;

QString utf8(const char *text) { return QString::fromUtf8(text); }

} // namespace

// Each row sits on the edge of one rule, or where two rules overlap and the chain's order decides.
TEST(ClassifyText, TypeFollowsTheChainInOrder)
{
    const std::pair<const char *, Type> cases[] = {
        {"#FFF", Type::color}, {"#FFFF", Type::text}, {"#GGG", Type::text}, {"#FFF\n#000", Type::text},
        {"#123", Type::color}, // colour before emoji
        {"ftp://files.example.org", Type::link}, {"https://a.com/(x)", Type::link}, // link before code
        {"example.com", Type::text}, {"mailto:someone@example.com", Type::text}, {"see https://example.com now", Type::text},
        {"first.last+tag@mail.example.co", Type::email}, {"user@localhost", Type::text}, {"user@example.c", Type::text},
        // Phone numbers count digits only; phone comes before emoji.
        {"(555) 123-4567", Type::phone}, {"+44 1234 5678 9012", Type::phone}, {"1234567", Type::phone},
        {"Meeting 2024-01-15 10:30", Type::phone}, {"1234567890123456", Type::phone}, {"12345678", Type::phone},
        // 16 digits may not start with 0, 17 are too many, 6 too few: every digit has the Emoji property.
        {"0234567890123456", Type::emoji}, {"12345678901234567", Type::emoji}, {"123456", Type::emoji},
        {"1234 5678 9012 3456 7", Type::text},
        // Emoji needs every scalar to have the property (no selector, no joiner, no letters).
        {"\U0001F44D\U0001F3FD\U0001F389", Type::emoji}, {"#", Type::emoji}, {"\U0001F44D ok", Type::text},
        {"\u2764\uFE0F", Type::text}, {"\U0001F468\u200D\U0001F469", Type::text},
        {"letter to Bob", Type::text}, // "let" without its space is no code marker
    };
    for (const auto &[text, type] : cases)
        EXPECT_EQ(classifyText(utf8(text), noSource).type, type) << text;
}

TEST(ClassifyText, CodeLanguageFollowsDetectionOrderNotPosition)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Hello (world)", "unknown"}, {"let x = 5", "swift"}, {"import os", "python"}, {"function f() {}", "javascript"},
        {"class A {}", "unknown"}, {"func a", "swift"}, {"def f(): pass", "python"}, {"#include <x>", "unknown"},
        {"const y = 1", "javascript"}, {"const a; import b", "python"},
    };
    for (const auto &[text, language] : cases) {
        const auto r = classifyText(utf8(text), noSource);
        EXPECT_EQ(r.type, Type::code) << text;
        EXPECT_EQ(r.metadata.language, utf8(language)) << text;
    }
}

TEST(ClassifyText, TrimmedContentPreviewAndMetadata)
{
    const auto colour = classifyText(QStringLiteral("  #1a2B3c\n"), noSource);
    EXPECT_EQ(colour.content, "#1a2B3c");
    EXPECT_EQ(colour.preview, "#1a2B3c");
    EXPECT_EQ(colour.metadata.colorValue, "#1a2B3c");
    const QString address = QStringLiteral("https://example.com/path/page?q=1&r=2");
    EXPECT_EQ(classifyText(address, noSource).metadata.url, address);
    const std::pair<const char *, const char *> previews[] = {
        {"https://example.com", "\U0001F517"}, {"a@example.com", "\U0001F4E7"}, {"(555) 123-4567", "\U0001F4DE"},
        {"\U0001F44D\U0001F3FD\U0001F389", "\U0001F44D\U0001F3FD\U0001F389"}, {"   ", ""},
    };
    for (const auto &[text, preview] : previews)
        EXPECT_EQ(classifyText(utf8(text), noSource).preview, utf8(preview)) << text;
    // Blank text is still a (empty) text result; previews keep 100 user-perceived characters.
    EXPECT_EQ(classifyText(QStringLiteral("   "), noSource).type, Type::text);
    EXPECT_EQ(classifyText(QString(250, u'x'), noSource).preview, QString(100, u'x'));
    EXPECT_EQ(classifyText(QStringLiteral("e\u0301").repeated(150), noSource).preview.size(), 200);

    const SourceAppInfo source{QStringLiteral("Editor"), QStringLiteral("org.example.editor"), 42};
    const auto plain = classifyText(QStringLiteral("plain words"), source);
    EXPECT_EQ(plain.metadata.sourceApp, "Editor");
    EXPECT_EQ(plain.metadata.sourceAppBundle, "org.example.editor");
    EXPECT_EQ(plain.metadata.sourceProcessID, 42);
    EXPECT_FALSE(plain.metadata.size || plain.metadata.fileCount || plain.metadata.url || plain.metadata.language ||
                 plain.metadata.colorValue || plain.metadata.embedding);
}
