// Preparation before embedding: URL words, code summaries, white space and the length limits.
#include "FakeEmbeddingModel.h"
#include "support/DiagnosticsCapture.h"

#include "search/EmbeddingManager.h"
#include "model/UnicodeText.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

TEST(TextPreparation, UrlsBecomeHostPathAndQueryNames)
{
    EXPECT_EQ(EmbeddingManager::prepareText(QStringLiteral("https://www.example.com/blog/how-to_bake?utm_source=x&ref=y#top")),
              QStringLiteral("example.com blog how to bake utm_source ref"));
    EXPECT_EQ(EmbeddingManager::urlToWords(QStringLiteral("ftp://user:pw@files.www.example.org:21/pub//caf%C3%A9/")),
              QStringLiteral("files.example.org pub café"));
    EXPECT_EQ(EmbeddingManager::urlToWords(QStringLiteral("file:///tmp/notes.txt")), QStringLiteral("tmp notes.txt"));
    // Contains "://" but is no URL: embedded as it stands.
    for (const char *text : {"see https://example.com for details", "://nothing", "https://exa mple.com", "http://host:port/", "https://例え.jp"})
        EXPECT_EQ(EmbeddingManager::urlToWords(QString::fromUtf8(text)), QString::fromUtf8(text)) << text;
}

TEST(TextPreparation, TwoCodeSignsSummariseTheText)
{
    EXPECT_EQ(EmbeddingManager::prepareText(QStringLiteral("def greet(name):\n    # say hello\n    print(name)\n")),
              QStringLiteral("def greet name : # say hello"));
    // Prose with one pair of parentheses: no line is kept, so the brackets are just blanked.
    EXPECT_EQ(EmbeddingManager::prepareText(QStringLiteral("I will call you (after lunch) tomorrow")),
              QStringLiteral("I will call you after lunch tomorrow"));
    // Declarations count only when longer than 10 characters.
    EXPECT_EQ(EmbeddingManager::summarizeCode(QStringLiteral("let a = 1;\r\nconst x=12\n\tconst xy=12;")), QStringLiteral("const xy=12"));
    EXPECT_EQ(EmbeddingManager::prepareText(QStringLiteral("let a = 1;\nlet b = 2;")), QStringLiteral("let a = 1 let b = 2 "));
    // One sign is not code; signs are case-sensitive and counted once each.
    EXPECT_EQ(EmbeddingManager::prepareText(QStringLiteral("Import {{{ data")), QStringLiteral("Import {{{ data"));
}

TEST(TextPreparation, WhiteSpaceRunsBecomeOneBlankWithoutTrimming)
{
    EXPECT_EQ(EmbeddingManager::collapseWhitespace(QStringLiteral("\t a \r\n\u00a0\u2003b\u0085c\u000b ")), QStringLiteral(" a b c "));
    EXPECT_EQ(EmbeddingManager::collapseWhitespace(QStringLiteral("a\u200bb")), QStringLiteral("a\u200bb")); // not white space
}

TEST(TextPreparation, LengthLimitsCountUserPerceivedCharacters)
{
    const QString accented = QStringLiteral("e\u0301");
    auto model = std::make_shared<FakeEmbeddingModel>(QHash<QString, std::vector<float>>{{accented.repeated(1000), {1.0f}}});
    EmbeddingManager manager([&] { return model; }, [] { return nullptr; });
    DiagnosticsCapture capture;

    manager.generateEmbedding(accented.repeated(1000));
    manager.generateEmbedding(QStringLiteral("  ") + accented.repeated(1001) + QStringLiteral("\n"));
    EXPECT_EQ(model->asked(), QStringList(2, accented.repeated(1000)));

    const std::pair<const char *, int> tooShort[] = {{" ab\n", 2}, {"http://a", 1}, {" \t\n ", 0}};
    for (const auto &[text, length] : tooShort) {
        EXPECT_FALSE(manager.generateEmbedding(QString::fromLatin1(text)));
        EXPECT_EQ(capture.count(QStringLiteral("🔍 Text too short for embedding: %1 characters").arg(length)), 1) << text;
    }
    // A family emoji is one character: three in all is long enough.
    EXPECT_TRUE(manager.generateEmbedding(QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467ab")));
}
