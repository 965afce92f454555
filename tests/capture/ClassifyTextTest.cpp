#include "capture/ClipboardReader.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

const SourceAppInfo noSource;

ClipboardItemType typeOf(const QString &text) { return classifyText(text, noSource).type; }

} // namespace

TEST(ClassifyText, ColourIsTrimmedAndKeptInEveryField)
{
    const auto r = classifyText(QStringLiteral("  #1a2B3c\n"), noSource);
    EXPECT_EQ(r.type, ClipboardItemType::color);
    EXPECT_EQ(r.content, "#1a2B3c");
    EXPECT_EQ(r.preview, "#1a2B3c");
    EXPECT_EQ(r.metadata.colorValue, "#1a2B3c");
    EXPECT_EQ(typeOf("#FFF"), ClipboardItemType::color);
    EXPECT_EQ(typeOf("#FFFF"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("#GGG"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("#FFF\n#000"), ClipboardItemType::text); // no multi-line matching
}

TEST(ClassifyText, LinksNeedSchemeAndHost)
{
    const QString address = QStringLiteral("https://example.com/path/page?q=1&r=2");
    const auto r = classifyText(address, noSource);
    EXPECT_EQ(r.type, ClipboardItemType::link);
    EXPECT_EQ(r.preview, QStringLiteral("\U0001F517"));
    EXPECT_EQ(r.metadata.url, address);
    EXPECT_EQ(typeOf("example.com"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("mailto:someone@example.com"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("see https://example.com now"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("ftp://files.example.org"), ClipboardItemType::link);
}

TEST(ClassifyText, EmailAddresses)
{
    const auto r = classifyText("first.last+tag@mail.example.co", noSource);
    EXPECT_EQ(r.type, ClipboardItemType::email);
    EXPECT_EQ(r.preview, QStringLiteral("\U0001F4E7"));
    EXPECT_EQ(typeOf("user@localhost"), ClipboardItemType::text);
    EXPECT_EQ(typeOf("user@example.c"), ClipboardItemType::text);
}

TEST(ClassifyText, PhoneNumbersCountDigitsOnly)
{
    const auto r = classifyText("(555) 123-4567", noSource);
    EXPECT_EQ(r.type, ClipboardItemType::phone);
    EXPECT_EQ(r.content, "(555) 123-4567");
    EXPECT_EQ(r.preview, QStringLiteral("\U0001F4DE"));
    EXPECT_EQ(typeOf("+44 1234 5678 9012"), ClipboardItemType::phone);
    EXPECT_EQ(typeOf("1234567"), ClipboardItemType::phone);
    EXPECT_EQ(typeOf("Meeting 2024-01-15 10:30"), ClipboardItemType::phone);
    EXPECT_EQ(typeOf("1234567890123456"), ClipboardItemType::phone);
    // Not phone numbers (16 digits may not start with 0; 17 are too many), so all-digit emoji.
    EXPECT_EQ(typeOf("0234567890123456"), ClipboardItemType::emoji);
    EXPECT_EQ(typeOf("12345678901234567"), ClipboardItemType::emoji);
    EXPECT_EQ(typeOf("1234 5678 9012 3456 7"), ClipboardItemType::text);
    // Six digits fail the phone test and every digit has the Emoji property.
    EXPECT_EQ(typeOf("123456"), ClipboardItemType::emoji);
}

TEST(ClassifyText, EmojiNeedsEveryScalarWithTheProperty)
{
    const QString thumbsParty = QStringLiteral("\U0001F44D\U0001F3FD\U0001F389");
    const auto r = classifyText(thumbsParty, noSource);
    EXPECT_EQ(r.type, ClipboardItemType::emoji);
    EXPECT_EQ(r.preview, thumbsParty);
    EXPECT_EQ(typeOf(QStringLiteral("\U0001F44D ok")), ClipboardItemType::text);
    EXPECT_EQ(typeOf("#"), ClipboardItemType::emoji);
    EXPECT_EQ(typeOf(QStringLiteral("\u2764\uFE0F")), ClipboardItemType::text);
    EXPECT_EQ(typeOf(QStringLiteral("\U0001F468\u200D\U0001F469")), ClipboardItemType::text);
}

TEST(ClassifyText, CodeMarkersAndLanguage)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Hello (world)", "unknown"},   {"let x = 5", "swift"},          {"import os", "python"},
        {"function f() {}", "javascript"}, {"class A {}", "unknown"},     {"func a", "swift"},
        {"def f(): pass", "python"},    {"#include <x>", "unknown"},     {"const y = 1", "javascript"},
        // detectLanguage's order decides, not the position in the text.
        {"const a; import b", "python"},
    };
    for (const auto &[text, language] : cases) {
        const auto r = classifyText(text, noSource);
        EXPECT_EQ(r.type, ClipboardItemType::code) << text;
        EXPECT_EQ(r.metadata.language, QString::fromLatin1(language)) << text;
    }
    EXPECT_EQ(typeOf("letter to Bob"), ClipboardItemType::text); // "let" without its space
}

TEST(ClassifyText, ChainOrderDecidesOverlaps)
{
    EXPECT_EQ(typeOf("#123"), ClipboardItemType::color);           // colour before emoji
    EXPECT_EQ(typeOf("https://a.com/(x)"), ClipboardItemType::link); // link before code
    EXPECT_EQ(typeOf("12345678"), ClipboardItemType::phone);        // phone before emoji
}

TEST(ClassifyText, PreviewIsFirstHundredCharactersAndBlankTextIsKept)
{
    const QString longText = QString(250, u'x');
    EXPECT_EQ(classifyText(longText, noSource).preview, QString(100, u'x'));
    const QString accented = QString(150, u'e').replace(u'e', QStringLiteral("e\u0301"));
    EXPECT_EQ(classifyText(accented, noSource).preview.size(), 200);
    const auto blank = classifyText("   ", noSource);
    EXPECT_EQ(blank.type, ClipboardItemType::text);
    EXPECT_EQ(blank.content, "");
    EXPECT_EQ(blank.preview, "");
}

TEST(ClassifyText, SourceFieldsAreCopiedAndOthersAbsent)
{
    const SourceAppInfo source{QStringLiteral("Editor"), QStringLiteral("org.example.editor"), 42};
    const auto r = classifyText("plain words", source);
    EXPECT_EQ(r.metadata.sourceApp, "Editor");
    EXPECT_EQ(r.metadata.sourceAppBundle, "org.example.editor");
    EXPECT_EQ(r.metadata.sourceProcessID, 42);
    EXPECT_FALSE(r.metadata.size || r.metadata.fileCount || r.metadata.url || r.metadata.language ||
                 r.metadata.colorValue || r.metadata.embedding);
}
