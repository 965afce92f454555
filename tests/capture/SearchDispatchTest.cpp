#include "HistoryFixture.h"

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class SearchDispatchTest : public HistoryFixture {
protected:
    bool settled(qsizetype count) { return !history->isSearching() && history->searchResults().size() == count; }
};

TEST_F(SearchDispatchTest, KeywordResultsScoreByStoreOrderAndBlankQueriesClear)
{
    searcher = &heldIndex;
    start();
    for (int i = 0; i < 23; ++i)
        seed({makeItem(Type::text, QStringLiteral("abc %1").arg(i), 1000 - i)});
    history->search(QStringLiteral("   "), true);
    EXPECT_EQ(heldIndex.calls, 0);
    history->search(QStringLiteral("  abc "), false); // handed on untrimmed: matches nothing
    ASSERT_TRUE(waitFor([&] { return settled(0) && history->currentSearchQuery() == QStringLiteral("  abc "); }));
    history->search(QStringLiteral("ABC"), false);
    ASSERT_TRUE(waitFor([&] { return settled(23); }));
    const auto results = history->searchResults();
    EXPECT_EQ(results[0].item.content, QStringLiteral("abc 22"));
    EXPECT_EQ(results[0].similarity, 1.0f);
    EXPECT_EQ(results[1].similarity, float(1.0 - 0.05));
    EXPECT_EQ(results[20].similarity, float(1.0 - 0.05 * 20));
    EXPECT_LT(results[22].similarity, 0.0f);
    EXPECT_EQ(results[22].searchType, SearchType::keyword);
}

TEST_F(SearchDispatchTest, SearchByMeaningGoesThroughTheIndex)
{
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("quarterly budget spreadsheet for the team")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("photos of the cat on the sofa")));
    ASSERT_TRUE(waitFor([&] { return vectors.indexedItemsCount() == 2; }));
    history->search(QStringLiteral("budget spreadsheet"), true);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching() && !history->searchResults().isEmpty(); }));
    EXPECT_EQ(history->searchResults()[0].item.content, QStringLiteral("quarterly budget spreadsheet for the team"));
    EXPECT_EQ(history->searchResults()[0].searchType, SearchType::semantic);
}

TEST_F(SearchDispatchTest, OnlyTheNewestSearchPublishes)
{
    searcher = &heldIndex;
    start();
    const ClipboardItem slow = makeItem(Type::text, QStringLiteral("slow")), fast = makeItem(Type::text, QStringLiteral("fast"));
    addAll({slow, fast});
    const auto run = [&](const char *query, const ClipboardItem &hit) {
        heldIndex.hits = {{hit.id, 0.9f, {}}};
        history->search(QString::fromLatin1(query), true);
    };
    const auto release = [&](const char *query, const ClipboardItem &hit) {
        heldIndex.hits = {{hit.id, 0.9f, {}}};
        heldIndex.release(QString::fromLatin1(query));
    };

    heldIndex.heldQueries = {QStringLiteral("slow")}; // the earlier search ends last: dropped
    run("slow", slow);
    run("fast", fast);
    ASSERT_TRUE(waitFor([&] { return settled(1); }));
    release("slow", slow);
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(history->searchResults()[0].item.id, fast.id);

    heldIndex.heldQueries = {QStringLiteral("slow")}; // the later one ends last: the flag waits for it
    run("fast", fast);
    run("slow", slow);
    ASSERT_TRUE(waitFor([&] { return history->findChildren<QFutureWatcherBase *>().size() == 1; }));
    EXPECT_TRUE(history->isSearching());
    release("slow", slow);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching(); }));
    EXPECT_EQ(history->searchResults()[0].item.id, slow.id);

    heldIndex.heldQueries = {QStringLiteral("fast")}; // a clear supersedes the search before it
    run("fast", fast);
    history->clearSearch();
    release("fast", fast);
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_TRUE(settled(0) && history->currentSearchQuery().isEmpty());
}

} // namespace
