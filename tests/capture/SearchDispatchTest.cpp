#include "HistoryFixture.h"

#include <QSignalSpy>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class SearchDispatchTest : public HistoryFixture {};

TEST_F(SearchDispatchTest, KeywordResultsScoreByStoreOrderAndBlankQueriesClear)
{
    searcher = &heldIndex;
    start();
    for (int i = 0; i < 23; ++i)
        seed({makeItem(ClipboardItemType::text, QStringLiteral("abc %1").arg(i), 1000 - i)});
    history->search(QStringLiteral("   "), true);
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(heldIndex.calls, 0);

    history->search(QStringLiteral("  abc "), false); // handed on untrimmed
    ASSERT_TRUE(waitFor([&] { return !history->isSearching() && history->currentSearchQuery() == QStringLiteral("  abc "); }));
    EXPECT_TRUE(history->searchResults().isEmpty());
    history->search(QStringLiteral("ABC"), false);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching() && history->searchResults().size() == 23; }));
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
    const ClipboardItem slow = makeItem(ClipboardItemType::text, QStringLiteral("slow"));
    const ClipboardItem fast = makeItem(ClipboardItemType::text, QStringLiteral("fast"));
    addAll({slow, fast});
    const QList<VectorSearchResult> slowHits{{slow.id, 0.9f, {}}}, fastHits{{fast.id, 0.9f, {}}};

    // The earlier search finishes last: its results are dropped.
    heldIndex.heldQueries = {QStringLiteral("slow")};
    history->search(QStringLiteral("slow"), true);
    heldIndex.hits = fastHits;
    history->search(QStringLiteral("fast"), true);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching(); }));
    heldIndex.hits = slowHits;
    heldIndex.release(QStringLiteral("slow"));
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(history->searchResults().value(0).item.id, fast.id);

    // The later search finishes last: the earlier one does not lower isSearching.
    heldIndex.heldQueries = {QStringLiteral("slow")};
    heldIndex.hits = fastHits;
    history->search(QStringLiteral("fast"), true);
    history->search(QStringLiteral("slow"), true);
    ASSERT_TRUE(waitFor([&] { return history->findChildren<QFutureWatcherBase *>().size() == 1; }));
    EXPECT_TRUE(history->isSearching());
    heldIndex.hits = slowHits;
    heldIndex.release(QStringLiteral("slow"));
    ASSERT_TRUE(waitFor([&] { return !history->isSearching(); }));
    EXPECT_EQ(history->searchResults().value(0).item.id, slow.id);

    // A clear supersedes the search before it.
    heldIndex.heldQueries = {QStringLiteral("fast")};
    history->search(QStringLiteral("fast"), true);
    history->clearSearch();
    heldIndex.release(QStringLiteral("fast"));
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_TRUE(history->searchResults().isEmpty() && history->currentSearchQuery().isEmpty());
    EXPECT_FALSE(history->isSearching());
}

} // namespace
