#include "StoreTestSupport.h"

#include "model/Diagnostics.h"
#include "model/Uuid.h"
#include "storage/Sqlite.h"
#include "support/DiagnosticsCapture.h"

#include <QFile>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

QList<QString> contents(const QList<ClipboardItemEntity> &records)
{
    QList<QString> texts;
    for (const auto &record : records)
        texts.append(record.content.value_or(QStringLiteral("<none>")));
    return texts;
}

ClipboardItem storedItem(CoreDataManager &store, const QUuid &id)
{
    const auto record = store.fetchItemEntity(id);
    EXPECT_TRUE(record);
    return record ? CoreDataManager::makeClipboardItem(*record) : ClipboardItem{};
}

} // namespace

TEST(ItemStore, RoundTripsItemsWithTheAbsentNumberEncodings)
{
    TemporaryStore store;
    ClipboardItem full = makeItem(QStringLiteral("let x = 1"), 1234, ClipboardItemType::code);
    full.isFavorite = true;
    full.metadata = ClipboardMetadata{5'000'000'000, 3, QStringLiteral("#fff"), QStringLiteral("file:///a"),
                                      QStringLiteral("swift"), QStringLiteral("Editor"), QStringLiteral("org.example.editor"),
                                      -7, std::vector<float>{0.5f}, QStringLiteral("nl-v1.0")};
    ClipboardItem bare = makeItem(QStringLiteral("plain"), 0);
    ClipboardItem zeros = makeItem(QStringLiteral("zeros"), 0, ClipboardItemType::richText);
    zeros.metadata = ClipboardMetadata{};
    zeros.metadata->size = 0;
    for (const auto &item : {full, bare, zeros})
        ASSERT_TRUE(store->createItem(item));

    const ClipboardItem back = storedItem(*store.store, full.id);
    ClipboardMetadata expected = *full.metadata;
    expected.embedding.reset(); // vectors live in the vector index only
    EXPECT_EQ(back.metadata, expected);
    EXPECT_EQ(back.timestamp, full.timestamp);
    EXPECT_EQ(back.type, ClipboardItemType::code);
    EXPECT_TRUE(back.isFavorite);
    EXPECT_FALSE(storedItem(*store.store, bare.id).metadata);

    // Absent numbers are stored as 0 and a stored 0 reads as absent; the record itself exists.
    const auto zerosRecord = store->fetchItemEntity(zeros.id);
    EXPECT_EQ(zerosRecord->metadata, ClipboardMetadataEntity{});
    EXPECT_EQ(CoreDataManager::makeClipboardItem(*zerosRecord).metadata, ClipboardMetadata{});
    EXPECT_EQ(CoreDataManager::makeClipboardItem(*zerosRecord).type, ClipboardItemType::richText);
}

TEST(ItemStore, CreatingAStoredIdChangesNothingAndSucceeds)
{
    TemporaryStore store;
    DiagnosticsCapture log;
    const ClipboardItem original = makeItem(QStringLiteral("original"), 0);
    ASSERT_TRUE(store->createItem(original));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Created and saved clipboard item: ") + uuidString(original.id)));

    ClipboardItem changed = original;
    changed.content = QStringLiteral("changed");
    changed.isFavorite = true;
    changed.metadata = ClipboardMetadata{};
    EXPECT_TRUE(store->createItem(changed));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Clipboard item already exists: ") + uuidString(original.id)));
    const auto record = store->fetchItemEntity(original.id);
    EXPECT_EQ(record->content, QStringLiteral("original"));
    EXPECT_FALSE(record->isFavorite);
    EXPECT_FALSE(record->metadata);
    EXPECT_EQ(store->fetchAllItems().size(), 1);
}

TEST(ItemStore, QueriesAreNewestFirstWithTheirLimits)
{
    TemporaryStore store;
    // Inserted out of order; "tie-b" is stored after "tie-a" with the same time.
    for (const auto &[text, ms, favorite] : {std::tuple{"old", 10, true}, {"new", 50, false}, {"tie-a", 30, true},
                                             {"tie-b", 30, false}, {"mid", 20, true}}) {
        ClipboardItem item = makeItem(QString::fromUtf8(text), ms);
        item.isFavorite = favorite;
        ASSERT_TRUE(store->createItem(item));
    }
    DiagnosticsCapture log;
    const QList<QString> newestFirst{"new", "tie-b", "tie-a", "mid", "old"};
    EXPECT_EQ(contents(store->fetchAllItems()), newestFirst);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Fetched 5 clipboard items from Core Data")));
    EXPECT_EQ(contents(store->fetchRecentItems(2)), newestFirst.mid(0, 2));
    EXPECT_EQ(contents(store->fetchRecentItems(0)), newestFirst);
    EXPECT_EQ(contents(store->fetchRecentItems(99)), newestFirst);
    EXPECT_EQ(contents(store->fetchFavoriteItems()), (QList<QString>{"tie-a", "mid", "old"}));
    EXPECT_FALSE(store->fetchItemEntity(QUuid::createUuid()));
}

TEST(ItemStore, RecordsLackingRequiredFieldsReadAsPlaceholders)
{
    TemporaryStore store;
    const ClipboardItem item = makeItem(QStringLiteral("x"), 0);
    ASSERT_TRUE(store->createItem(item));
    SqliteDatabase raw(store->storePath(), false);
    const auto damage = [&](const char *sql) {
        raw.execute(sql);
        return store->fetchAllItems().value(0);
    };

    DiagnosticsCapture log;
    EXPECT_EQ(CoreDataManager::makeClipboardItem(damage("UPDATE ClipboardItemEntity SET type = 'Text'")).type,
              ClipboardItemType::text);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ ClipboardItemEntity has missing")), 0);

    for (const char *sql : {"UPDATE ClipboardItemEntity SET preview = NULL",
                            "UPDATE ClipboardItemEntity SET preview = 'p', timestamp = 'yesterday'",
                            "UPDATE ClipboardItemEntity SET timestamp = 1, id = 'not-a-uuid'"}) {
        const ClipboardItemEntity record = damage(sql);
        const ClipboardItem first = CoreDataManager::makeClipboardItem(record);
        const ClipboardItem second = CoreDataManager::makeClipboardItem(record);
        EXPECT_EQ(first.preview, QStringLiteral("Invalid item")) << sql;
        EXPECT_TRUE(first.content.isEmpty());
        EXPECT_EQ(first.type, ClipboardItemType::text);
        EXPECT_FALSE(first.metadata || first.isFavorite);
        EXPECT_NE(first.id, item.id);
        EXPECT_NE(first.id, second.id);
    }
    EXPECT_EQ(log.count(QStringLiteral("⚠️ ClipboardItemEntity has missing required fields, using defaults")), 6);
}

TEST(ItemStore, ChangesAreWrittenBySaveContextAndDeletesCascade)
{
    TemporaryStore store;
    ClipboardItem item = makeItem(QStringLiteral("draft"), 0);
    ClipboardItem other = makeItem(QStringLiteral("other"), 1);
    ASSERT_TRUE(store->createItem(item) && store->createItem(other));
    DiagnosticsCapture log;

    ClipboardItemEntity record = *store->fetchItemEntity(item.id);
    record.content = QStringLiteral("Final Version");
    record.isFavorite = true;
    record.metadata = ClipboardMetadataEntity{};
    record.metadata->sourceApp = QStringLiteral("Editor");
    store->updateItemEntity(record);
    EXPECT_TRUE(store->hasChanges());
    EXPECT_EQ(store->fetchItemEntity(item.id)->content, QStringLiteral("draft")); // not saved yet
    store->saveContext();
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Core Data context saved successfully")));
    EXPECT_FALSE(store->hasChanges());
    EXPECT_EQ(*store->fetchItemEntity(item.id), record);
    EXPECT_EQ(store->searchItems(QStringLiteral("final")).size(), 1); // folded copy follows the content

    // A change the store refuses (a second record with the same id) is logged and dropped.
    ClipboardItemEntity clash = *store->fetchItemEntity(other.id);
    clash.id = item.id;
    store->updateItemEntity(clash);
    store->saveContext();
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to save Core Data context: ")), 1);
    EXPECT_FALSE(store->hasChanges());
    EXPECT_EQ(store->fetchItemEntity(other.id)->content, QStringLiteral("other"));

    log.clear();
    store->deleteItemEntity(record);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Core Data context saved successfully")));
    EXPECT_FALSE(store->fetchItemEntity(item.id));
    SqliteDatabase raw(store->storePath(), false);
    EXPECT_EQ(raw.queryInteger("SELECT count(*) FROM ClipboardMetadataEntity"), 0);
    log.clear();
    store->saveContext(); // nothing left to save: nothing logged
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(ItemStore, BatchesSkipStoredIdsAndReachTheMainConnection)
{
    TemporaryStore store;
    const ClipboardItem kept = makeItem(QStringLiteral("kept"), 0);
    ASSERT_TRUE(store->createItem(kept));
    ClipboardItem sameId = makeItem(QStringLiteral("impostor"), 5);
    sameId.id = kept.id;
    const ClipboardItem b = makeItem(QStringLiteral("b"), 1);
    const ClipboardItem c = makeItem(QStringLiteral("c"), 2);

    DiagnosticsCapture log;
    std::optional<BatchInsertResult> result;
    QThread *reportedOn = nullptr;
    store->batchInsertItems({b, sameId, c, c}, [&](const BatchInsertResult &r) {
        result = r;
        reportedOn = QThread::currentThread();
    });
    ASSERT_TRUE(processEventsUntil([&] { return result.has_value(); }));
    EXPECT_EQ(reportedOn, QThread::currentThread());
    EXPECT_TRUE(result->saved);
    EXPECT_EQ(result->inserted, 2);
    EXPECT_EQ(result->skipped, 2);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Batch inserted 2 clipboard items")));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Skipped clipboard items already stored: 2")));
    EXPECT_EQ(contents(store->fetchAllItems()), (QList<QString>{"c", "b", "kept"}));

    // With one record per id, a deleted item stays deleted after a restart.
    store->deleteItemEntity(*store->fetchItemEntity(kept.id));
    store.reopen();
    EXPECT_EQ(contents(store->fetchAllItems()), (QList<QString>{"c", "b"}));
}

TEST(ItemStore, OpensLazilyAndKeepsItemsAcrossReopening)
{
    TemporaryStore store;
    EXPECT_FALSE(QFile::exists(store->storePath()));
    DiagnosticsCapture log;
    const ClipboardItem item = makeItem(QStringLiteral("survivor"), 0);
    std::optional<BatchInsertResult> batch;
    // A batch as the very first operation creates the store too.
    store->batchInsertItems({item}, [&](const BatchInsertResult &r) { batch = r; });
    ASSERT_TRUE(processEventsUntil([&] { return batch.has_value(); }));
    EXPECT_EQ(log.count(QStringLiteral("✅ Core Data stack initialized successfully")), 1);

    store.reopen();
    EXPECT_EQ(storedItem(*store.store, item.id).content, QStringLiteral("survivor"));
}

TEST(ItemStore, CallersOnOtherThreadsAreServedOnTheOwnerThread)
{
    TemporaryStore store;
    QList<QThread *> loggingThreads;
    setDiagnosticSink([&](const QString &) { loggingThreads.append(QThread::currentThread()); });
    const ClipboardItem item = makeItem(QStringLiteral("from a worker"), 0);
    QFuture<int> worker = QtConcurrent::run([&] {
        store->createItem(item);
        return int(store->fetchAllItems().size());
    });
    EXPECT_TRUE(processEventsUntil([&] { return worker.isFinished(); }));
    setDiagnosticSink({});
    EXPECT_EQ(worker.result(), 1);
    ASSERT_FALSE(loggingThreads.isEmpty());
    for (QThread *thread : loggingThreads)
        EXPECT_EQ(thread, QThread::currentThread());
}
