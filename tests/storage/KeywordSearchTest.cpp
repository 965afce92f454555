#include "StoreTestSupport.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class KeywordSearch : public ::testing::Test {
protected:
    void add(const QString &content, ClipboardItemType type = ClipboardItemType::text)
    {
        ASSERT_TRUE(store->createItem(makeItem(content, ++clock, type)));
    }
    QStringList find(const QString &query)
    {
        QStringList found;
        for (const auto &record : store->searchItems(query))
            found.append(*record.content);
        return found;
    }

    TemporaryStore store;
    qint64 clock = 0;
};

} // namespace

TEST_F(KeywordSearch, IgnoresCaseAndDiacriticsInEveryScript)
{
    for (const char *text : {"Café Crème", "Die Straße", "Ελληνικά γράμματα", "Ёлка и ЗИМА", "東京タワーの夜",
                             "Tiếng Việt", "cafe\u0301 decomposed"})
        add(QString::fromUtf8(text));

    EXPECT_EQ(find(QStringLiteral("CAFE")), (QStringList{"cafe\u0301 decomposed", "Café Crème"}));
    EXPECT_EQ(find(QStringLiteral("crème")), QStringList{"Café Crème"});
    EXPECT_EQ(find(QStringLiteral("STRASSE")), QStringList{"Die Straße"});
    EXPECT_EQ(find(QStringLiteral("ΓΡΑΜΜΑΤΑ")), QStringList{"Ελληνικά γράμματα"});
    EXPECT_EQ(find(QStringLiteral("елка")), QStringList{"Ёлка и ЗИМА"});
    EXPECT_EQ(find(QStringLiteral("зима")), QStringList{"Ёлка и ЗИМА"});
    EXPECT_EQ(find(QStringLiteral("タワー")), QStringList{"東京タワーの夜"});
    EXPECT_EQ(find(QStringLiteral("tieng viet")), QStringList{"Tiếng Việt"});
    EXPECT_TRUE(find(QStringLiteral("Kafe")).isEmpty());
}

TEST_F(KeywordSearch, MatchesPreviewsButNeverImages)
{
    ClipboardItem link = makeItem(QStringLiteral("https://example.org"), 100, ClipboardItemType::link);
    link.preview = QStringLiteral("Example Domain");
    ASSERT_TRUE(store->createItem(link));
    add(QStringLiteral("aGVsbG8gd29ybGQ="), ClipboardItemType::image);
    add(QStringLiteral("aGVsbG8gd29ybGQ= as text"));

    EXPECT_EQ(find(QStringLiteral("domain")), QStringList{"https://example.org"});
    EXPECT_EQ(find(QStringLiteral("gvs")), QStringList{"aGVsbG8gd29ybGQ= as text"});
}

TEST_F(KeywordSearch, PatternAndQuoteCharactersMatchThemselves)
{
    for (const char *text : {"100% sure", "100 percent", "a_b", "axb", "it's", "say \"hi\"", "back\\slash", "[x]"})
        add(QString::fromUtf8(text));

    EXPECT_EQ(find(QStringLiteral("%")), QStringList{"100% sure"});
    EXPECT_EQ(find(QStringLiteral("_")), QStringList{"a_b"});
    EXPECT_EQ(find(QStringLiteral("'")), QStringList{"it's"});
    EXPECT_EQ(find(QStringLiteral("\"hi")), QStringList{"say \"hi\""});
    EXPECT_EQ(find(QStringLiteral("\\")), QStringList{"back\\slash"});
    EXPECT_TRUE(find(QStringLiteral("*")).isEmpty());
    EXPECT_TRUE(find(QStringLiteral("'; DROP TABLE ClipboardItemEntity; --")).isEmpty());
    EXPECT_EQ(store->fetchAllItems().size(), 8);
    // Nothing to look for finds nothing (a lone accent folds to nothing).
    EXPECT_TRUE(find(QString()).isEmpty());
    EXPECT_TRUE(find(QStringLiteral("\u0301")).isEmpty());
}
