#include "search/SimilaritySearchKitManager.h"

#include "support/WaitFor.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::waitFor;

namespace {

QList<ClipboardItem> items(int count)
{
    QList<ClipboardItem> list;
    for (int i = 0; i < count; ++i)
        list.append({QUuid::createUuid(), ClipboardItemType::text, QString::number(i), {}, {}, {}, false});
    return list;
}

bool indexed(SimilaritySearchKitManager &index, const QUuid &id)
{
    auto future = index.indexedItem(id);
    future.waitForFinished();
    return future.result().has_value();
}

TEST(SimilarityIndexTest, CountIsARunningTallyThatNeverGoesNegative)
{
    SimilaritySearchKitManager index;
    const ClipboardItem item = items(1).first();
    index.addItem(item);
    index.addItem(item);
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 2; })) << "a replaced entry still counts";
    index.removeItem(QUuid::createUuid());
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 1; }));
    EXPECT_TRUE(indexed(index, item.id));
    index.removeItem(item.id);
    index.removeItem(item.id);
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 0; }));
    EXPECT_FALSE(indexed(index, item.id));
}

TEST(SimilarityIndexTest, IndexingRunsInBatchesAndOverlapsKeepTheFlag)
{
    SimilaritySearchKitManager index;
    const QList<ClipboardItem> many = items(25);
    const QFuture<void> longer = index.indexItems(many);
    const QFuture<void> empty = index.indexItems({});
    EXPECT_TRUE(index.isIndexing());
    ASSERT_TRUE(waitFor([&] { return empty.isFinished(); }));
    EXPECT_EQ(index.isIndexing(), !longer.isFinished()) << "the flag drops when the last indexing ends";
    ASSERT_TRUE(waitFor([&] { return longer.isFinished() && index.indexedItemsCount() == 25; }));
    EXPECT_FALSE(index.isIndexing());
    EXPECT_TRUE(indexed(index, many.last().id));
    index.clearIndex();
    EXPECT_TRUE(waitFor([&] { return index.indexedItemsCount() == 0; }));
    EXPECT_FALSE(indexed(index, many.first().id));
}

} // namespace
