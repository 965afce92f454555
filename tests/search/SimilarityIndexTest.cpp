#include "search/SimilaritySearchKitManager.h"

#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::waitFor;

namespace {

ClipboardItem itemWithContent(const QString &content)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = content;
    item.timestamp = QDateTime::currentDateTimeUtc();
    return item;
}

template <typename T>
bool settle(const QFuture<T> &future)
{
    return waitFor([&] { return future.isFinished(); });
}

std::optional<ClipboardItem> lookup(SimilaritySearchKitManager &index, const QUuid &id)
{
    auto future = index.indexedItem(id);
    future.waitForFinished();
    return future.result();
}

TEST(SimilarityIndexTest, CountIsARunningTallyOfAdditionsAndRemovals)
{
    test::DiagnosticsCapture log;
    SimilaritySearchKitManager index;
    EXPECT_TRUE(log.contains(QStringLiteral("✅ SimilaritySearchKitManager initialized with local implementation")));

    ClipboardItem item = itemWithContent(QStringLiteral("first"));
    ASSERT_TRUE(settle(index.addItem(item)));
    item.content = QStringLiteral("edited");
    ASSERT_TRUE(settle(index.addItem(item)));
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 2; }));
    EXPECT_EQ(lookup(index, item.id)->content, QStringLiteral("edited"));

    ASSERT_TRUE(settle(index.removeItem(QUuid::createUuid())));
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 1; }));
    EXPECT_TRUE(lookup(index, item.id).has_value());

    ASSERT_TRUE(settle(index.removeItem(item.id)));
    ASSERT_TRUE(settle(index.removeItem(item.id)));
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 0; }));
    EXPECT_FALSE(lookup(index, item.id).has_value());
}

TEST(SimilarityIndexTest, IndexItemsRunsInBatchesAndClearResets)
{
    SimilaritySearchKitManager index;
    QSignalSpy indexing(&index, &SimilaritySearchKitManager::isIndexingChanged);
    QList<ClipboardItem> items;
    for (int i = 0; i < 25; ++i)
        items.append(itemWithContent(QString::number(i)));

    const QFuture<void> done = index.indexItems(items);
    EXPECT_TRUE(index.isIndexing());
    ASSERT_TRUE(settle(done));
    EXPECT_FALSE(index.isIndexing());
    EXPECT_EQ(indexing.count(), 2);
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 25; }));
    for (const auto &item : items)
        EXPECT_TRUE(lookup(index, item.id).has_value());

    ASSERT_TRUE(settle(index.clearIndex()));
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 0; }));
    EXPECT_FALSE(lookup(index, items.first().id).has_value());

    // An empty list still raises and lowers the flag.
    ASSERT_TRUE(settle(index.indexItems({})));
    EXPECT_FALSE(index.isIndexing());
    EXPECT_EQ(indexing.count(), 4);
}

TEST(SimilarityIndexTest, OverlappingIndexingsKeepTheFlagUntilTheLastEnds)
{
    SimilaritySearchKitManager index;
    QList<ClipboardItem> many;
    for (int i = 0; i < 40; ++i)
        many.append(itemWithContent(QString::number(i)));
    const QFuture<void> longer = index.indexItems(many);
    const QFuture<void> shorter = index.indexItems({itemWithContent(QStringLiteral("x"))});
    ASSERT_TRUE(settle(shorter));
    EXPECT_EQ(index.isIndexing(), !longer.isFinished());
    ASSERT_TRUE(settle(longer));
    EXPECT_FALSE(index.isIndexing());
}

TEST(SimilarityIndexTest, GoingAwayMidIndexingIsSafe)
{
    QList<ClipboardItem> items;
    for (int i = 0; i < 100; ++i)
        items.append(itemWithContent(QString::number(i)));
    QFuture<void> done;
    {
        SimilaritySearchKitManager index;
        done = index.indexItems(items);
    }
    EXPECT_TRUE(done.isFinished());
    EXPECT_TRUE(done.isCanceled());
}

} // namespace
