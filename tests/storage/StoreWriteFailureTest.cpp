// A write the store could not make is reported as failed, and the store's health says so until
// a write succeeds again.
#include "StoreTestSupport.h"

#include "storage/Sqlite.h"
#include "support/DiagnosticsCapture.h"
#include "support/FullDisk.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

const QString ready = QStringLiteral("ready");

QStringList contents(const QList<ClipboardItemEntity> &records)
{
    QStringList texts;
    for (const auto &record : records)
        texts.append(record.content.value_or(QString()));
    return texts;
}

} // namespace

TEST(StoreWriteFailure, AFullDiskFailsWritesAndStatusSaysSoUntilAWriteSucceeds)
{
    TemporaryStore store;
    const ClipboardItem first = makeItem(QStringLiteral("first"), 0);
    const ClipboardItem second = makeItem(QStringLiteral("second"), 1);
    ASSERT_TRUE(store->createItem(first) && store->createItem(second));
    const FullDisk full;
    store.reopen();
    const QString large = QStringLiteral("does not fit ").repeated(20000); // needs new pages

    DiagnosticsCapture log;
    EXPECT_FALSE(store->createItem(makeItem(large, 2)));
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to create clipboard item: database or disk is full")), 1);
    EXPECT_EQ(store->healthText(ready), QStringLiteral("failing (database or disk is full)"));

    std::optional<BatchInsertResult> batch;
    store->batchInsertItems({makeItem(large, 3)}, [&](const BatchInsertResult &result) { batch = result; });
    ASSERT_TRUE(waitFor([&] { return batch.has_value(); }));
    EXPECT_FALSE(batch->saved);

    ClipboardItemEntity grown = *store->fetchItemEntity(first.id);
    grown.content = large;
    store->updateItemEntity(grown);
    EXPECT_FALSE(store->saveContext());

    // A deletion needs no new page: it succeeds, and the store is healthy again.
    EXPECT_TRUE(store->deleteItemEntity(*store->fetchItemEntity(second.id)));
    EXPECT_EQ(store->healthText(ready), ready);
    store.reopen();
    EXPECT_EQ(contents(store->fetchAllItems()), QStringList{QStringLiteral("first")});
}

TEST(StoreWriteFailure, RefusedDeletionsAreReportedAndTheItemsStay)
{
    TemporaryStore store;
    const ClipboardItem item = makeItem(QStringLiteral("kept"), 0);
    ASSERT_TRUE(store->createItem(item));
    SqliteDatabase(store->storePath(), false)
        .execute("CREATE TRIGGER refuse BEFORE DELETE ON ClipboardItemEntity BEGIN SELECT RAISE(ABORT, 'deletion refused'); END");

    EXPECT_FALSE(store->deleteItemEntity(*store->fetchItemEntity(item.id)));
    EXPECT_FALSE(store->deleteItemEntities({*store->fetchItemEntity(item.id)}));
    EXPECT_FALSE(store->deleteAllItems());
    EXPECT_EQ(store->healthText(ready), QStringLiteral("failing (deletion refused)"));
    EXPECT_EQ(contents(store->fetchAllItems()), QStringList{QStringLiteral("kept")});
}
