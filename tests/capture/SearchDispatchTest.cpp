#include "HistoryFixture.h"

#include <QSemaphore>
#include <QSignalSpy>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class SearchDispatchTest : public HistoryFixture {
protected:
    bool waitUntilIdle()
    {
        return waitFor([&] { return !history->isSearching() && history->currentSearchQuery().size() > 0; });
    }
};

TEST_F(SearchDispatchTest, BlankQueryClearsWithoutSearching)
{
    start();
    history->search(QStringLiteral("   "), true);
    history->search(QStringLiteral("\n\t"), false);
    QSignalSpy cleared(history.get(), &ClipboardManager::searchResultsChanged);
    ASSERT_TRUE(waitFor([&] { return cleared.count() == 2; }));
    EXPECT_EQ(vectorStore.calls, 0);
    EXPECT_TRUE(storage.calls().filter(QStringLiteral("searchItems")).isEmpty());
    EXPECT_FALSE(history->isSearching());
}

TEST_F(SearchDispatchTest, KeywordScoresFallByFiveHundredthsInStoreOrder)
{
    start();
    QList<ClipboardItem> stored;
    for (int i = 0; i < 23; ++i)
        stored.append(makeItem(ClipboardItemType::text, QStringLiteral("abc %1").arg(i), 1000 - i));
    storage.seed(stored);
    storage.seed({makeItem(ClipboardItemType::text, QStringLiteral("unrelated"))});

    history->search(QStringLiteral("  abc "), false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(history->currentSearchQuery(), QStringLiteral("  abc "));
    EXPECT_TRUE(storage.calls().contains(QStringLiteral("searchItems:  abc ")));
    // The untrimmed query matches nothing in this store; the trimmed one finds all 23.
    EXPECT_TRUE(history->searchResults().isEmpty());

    history->search(QStringLiteral("ABC"), false);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching() && !history->searchResults().isEmpty(); }));
    const QList<SimilaritySearchResult> results = history->searchResults();
    ASSERT_EQ(results.size(), 23);
    EXPECT_EQ(results[0].item.content, QStringLiteral("abc 22")); // newest first
    EXPECT_EQ(results[0].similarity, 1.0f);
    EXPECT_EQ(results[1].similarity, float(1.0 - 0.05));
    EXPECT_EQ(results[2].similarity, float(1.0 - 0.05 * 2));
    EXPECT_EQ(results[20].similarity, float(1.0 - 0.05 * 20));
    EXPECT_LT(results[21].similarity, 0.0f);
    for (const auto &result : results) {
        EXPECT_EQ(result.searchType, SearchType::keyword);
        EXPECT_NE(result.id, result.item.id);
    }
}

TEST_F(SearchDispatchTest, SearchByMeaningRanksTheHistoryItems)
{
    start();
    const ClipboardItem item = makeItem(ClipboardItemType::code, QStringLiteral("let x = 1"));
    addAll({item});
    vectorStore.hits = {{item.id, 0.5f, {}}};
    history->search(QStringLiteral("code"), true);
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(history->searchResults().size(), 1);
    EXPECT_EQ(history->searchResults()[0].similarity, 0.5f + 0.05f);
    EXPECT_EQ(history->searchResults()[0].searchType, SearchType::semantic);
    EXPECT_EQ(vectorStore.lastQuery, QStringLiteral("code"));
}

TEST_F(SearchDispatchTest, OnlyTheNewestSearchPublishes)
{
    start();
    const ClipboardItem slowHit = makeItem(ClipboardItemType::text, QStringLiteral("slow"));
    const ClipboardItem fastHit = makeItem(ClipboardItemType::text, QStringLiteral("fast"));
    addAll({slowHit, fastHit});
    vectorStore.hitsByQuery[QStringLiteral("slow")] = {{slowHit.id, 0.9f, {}}};
    vectorStore.hitsByQuery[QStringLiteral("fast")] = {{fastHit.id, 0.9f, {}}};
    vectorStore.heldQueries = {QStringLiteral("slow")};

    history->search(QStringLiteral("slow"), true);
    history->search(QStringLiteral("fast"), true);
    ASSERT_TRUE(waitFor([&] { return !history->searchResults().isEmpty(); }));
    EXPECT_FALSE(history->isSearching());
    vectorStore.release(QStringLiteral("slow"));
    ASSERT_TRUE(waitForDeliveries());
    ASSERT_EQ(history->searchResults().size(), 1);
    EXPECT_EQ(history->searchResults()[0].item.id, fastHit.id);
    EXPECT_EQ(history->currentSearchQuery(), QStringLiteral("fast"));

    // The slow one started last: it keeps isSearching up until it ends, then publishes.
    vectorStore.heldQueries = {QStringLiteral("slow")};
    history->search(QStringLiteral("fast"), true);
    history->search(QStringLiteral("slow"), true);
    ASSERT_TRUE(waitFor([&] { return history->currentSearchQuery() == QStringLiteral("slow"); }));
    ASSERT_TRUE(waitFor([&] { return history->findChildren<QFutureWatcherBase *>().size() == 1; }));
    EXPECT_TRUE(history->isSearching()) << "the earlier, finished search must not lower the flag";
    vectorStore.release(QStringLiteral("slow"));
    ASSERT_TRUE(waitFor([&] { return !history->isSearching(); }));
    EXPECT_EQ(history->searchResults()[0].item.id, slowHit.id);
}

TEST_F(SearchDispatchTest, ASlowKeywordSearchCannotOverwriteANewerOne)
{
    start();
    storage.seed({makeItem(ClipboardItemType::text, QStringLiteral("slow")), makeItem(ClipboardItemType::text, QStringLiteral("fast"))});
    QSemaphore slowGate;
    storage.onSearch = [&](const QString &query) {
        if (query == QStringLiteral("slow"))
            slowGate.acquire();
    };
    history->search(QStringLiteral("slow"), false);
    ASSERT_TRUE(waitFor([&] { return storage.calls().contains(QStringLiteral("searchItems:slow")); }));
    history->search(QStringLiteral("fast"), false);
    ASSERT_TRUE(waitFor([&] { return !history->isSearching() && !history->searchResults().isEmpty(); }));
    QSignalSpy published(history.get(), &ClipboardManager::searchResultsChanged);
    slowGate.release();
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(history->searchResults()[0].item.content, QStringLiteral("fast"));
    EXPECT_EQ(published.count(), 0);
}

TEST_F(SearchDispatchTest, ClearThenSearchAppliesInCallOrder)
{
    start();
    storage.seed({makeItem(ClipboardItemType::text, QStringLiteral("needle"))});
    history->search(QStringLiteral("needle"), false);
    history->clearSearch();
    history->search(QStringLiteral("needle"), false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(history->currentSearchQuery(), QStringLiteral("needle"));
    EXPECT_EQ(history->searchResults().size(), 1);

    // A clear supersedes the search before it: its results never show.
    vectorStore.heldQueries = {QStringLiteral("held")};
    history->search(QStringLiteral("held"), true);
    history->clearSearch();
    ASSERT_TRUE(waitFor([&] { return history->currentSearchQuery().isEmpty(); }));
    vectorStore.release(QStringLiteral("held"));
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_TRUE(history->searchResults().isEmpty());
    EXPECT_FALSE(history->isSearching());
}

} // namespace
