#include "StoreTestSupport.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

QStringList find(TemporaryStore &store, const QString &query)
{
    QStringList found;
    for (const auto &record : store->searchItems(query))
        found.append(*record.content);
    return found;
}

} // namespace

TEST(KeywordSearch, FoldsCaseAndDiacriticsAndMatchesSpecialCharactersLiterally)
{
    TemporaryStore store;
    const char *texts[] = {"Café Crème", "Die Straße", "Ελληνικά γράμματα", "Ёлка и ЗИМА", "東京タワーの夜", "Tiếng Việt",
                           "cafe\u0301 decomposed", "100% sure", "100 percent", "a_b", "axb", "it's", "say \"hi\"",
                           "back\\slash", "[x]"};
    for (qsizetype i = 0; i < qsizetype(std::size(texts)); ++i)
        ASSERT_TRUE(store->createItem(makeItem(QString::fromUtf8(texts[i]), i)));

    const std::pair<const char *, QStringList> cases[] = {
        {"CAFE", {"cafe\u0301 decomposed", "Café Crème"}}, {"crème", {"Café Crème"}}, {"STRASSE", {"Die Straße"}},
        {"ΓΡΑΜΜΑΤΑ", {"Ελληνικά γράμματα"}}, {"елка", {"Ёлка и ЗИМА"}}, {"зима", {"Ёлка и ЗИМА"}},
        {"タワー", {"東京タワーの夜"}}, {"tieng viet", {"Tiếng Việt"}}, {"Kafe", {}},
        {"%", {"100% sure"}}, {"_", {"a_b"}}, {"'", {"it's"}}, {"\"hi", {"say \"hi\""}}, {"\\", {"back\\slash"}},
        {"*", {}}, {"'; DROP TABLE ClipboardItemEntity; --", {}},
        // Nothing to look for finds nothing (a lone accent folds to nothing).
        {"", {}}, {"\u0301", {}}};
    for (const auto &[query, expected] : cases)
        EXPECT_EQ(find(store, QString::fromUtf8(query)), expected) << query;
    EXPECT_EQ(store->fetchAllItems().size(), qsizetype(std::size(texts)));
}

TEST(KeywordSearch, MatchesPreviewsButNeverImages)
{
    TemporaryStore store;
    ClipboardItem link = makeItem(QStringLiteral("https://example.org"), 0, ClipboardItemType::link);
    link.preview = QStringLiteral("Example Domain");
    for (const ClipboardItem &item : {link, makeItem(QStringLiteral("aGVsbG8gd29ybGQ="), 1, ClipboardItemType::image),
                                      makeItem(QStringLiteral("aGVsbG8gd29ybGQ= as text"), 2)})
        ASSERT_TRUE(store->createItem(item));
    EXPECT_EQ(find(store, QStringLiteral("domain")), QStringList{"https://example.org"});
    EXPECT_EQ(find(store, QStringLiteral("gvs")), QStringList{"aGVsbG8gd29ybGQ= as text"});
}
