#include "StoreTestSupport.h"

#include "model/Diagnostics.h"
#include "storage/Sqlite.h"
#include "support/DiagnosticsCapture.h"

#include <QThread>
#include <QFileInfo>
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

ClipboardItem stored(TemporaryStore &store, const QUuid &id)
{
    const auto record = store->fetchItemEntity(id);
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

    const ClipboardItem back = stored(store, full.id);
    ClipboardMetadata expected = *full.metadata;
    expected.embedding.reset(); // vectors live in the vector index only
    EXPECT_EQ(std::tie(back.metadata, back.timestamp, back.type, back.isFavorite),
              std::tie(expected, full.timestamp, full.type, full.isFavorite));
    EXPECT_FALSE(stored(store, bare.id).metadata);
    // Absent numbers are stored as 0 and a stored 0 reads as absent; the record itself exists.
    EXPECT_EQ(store->fetchItemEntity(zeros.id)->metadata, ClipboardMetadataEntity{});
    EXPECT_EQ(stored(store, zeros.id).metadata, ClipboardMetadata{});

    // Creating a stored id again succeeds and changes nothing.
    ClipboardItem changed = bare;
    changed.content = QStringLiteral("changed");
    changed.isFavorite = true;
    EXPECT_TRUE(store->createItem(changed));
    EXPECT_EQ(stored(store, bare.id).content, QStringLiteral("plain"));
    EXPECT_FALSE(stored(store, bare.id).isFavorite);
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
    const QList<QString> newestFirst{"new", "tie-b", "tie-a", "mid", "old"};
    EXPECT_EQ(contents(store->fetchAllItems()), newestFirst);
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
    // An unknown type is no missing field: it reads as text.
    EXPECT_EQ(CoreDataManager::makeClipboardItem(damage("UPDATE ClipboardItemEntity SET type = 'Text'")).content, "x");

    for (const char *sql : {"UPDATE ClipboardItemEntity SET content = NULL",
                            "UPDATE ClipboardItemEntity SET preview = 'p', timestamp = 'yesterday'",
                            "UPDATE ClipboardItemEntity SET timestamp = 1, id = 'not-a-uuid'"}) {
        const ClipboardItemEntity record = damage(sql);
        const ClipboardItem first = CoreDataManager::makeClipboardItem(record);
        EXPECT_EQ(first.preview, QStringLiteral("Invalid item")) << sql;
        EXPECT_TRUE(first.content.isEmpty());
        EXPECT_FALSE(first.metadata || first.isFavorite);
        // A fresh id each time, so placeholders never collide with each other or the real item.
        EXPECT_NE(first.id, item.id);
        EXPECT_NE(first.id, CoreDataManager::makeClipboardItem(record).id);
    }
}

TEST(ItemStore, ChangesAreWrittenBySaveContextAndDeletesCascade)
{
    TemporaryStore store;
    ClipboardItem item = makeItem(QStringLiteral("draft"), 0);
    ClipboardItem other = makeItem(QStringLiteral("other"), 1);
    ASSERT_TRUE(store->createItem(item) && store->createItem(other));

    ClipboardItemEntity record = *store->fetchItemEntity(item.id);
    record.content = QStringLiteral("Final Version");
    record.isFavorite = true;
    record.metadata = ClipboardMetadataEntity{};
    record.metadata->sourceApp = QStringLiteral("Editor");
    store->updateItemEntity(record);
    store->saveContext();
    EXPECT_EQ(*store->fetchItemEntity(item.id), record);
    EXPECT_EQ(store->searchItems(QStringLiteral("final")).size(), 1); // folded copy follows the content

    // A change the store refuses (a second record with the same id) is logged and dropped.
    DiagnosticsCapture log;
    ClipboardItemEntity clash = *store->fetchItemEntity(other.id);
    clash.id = item.id;
    store->updateItemEntity(clash);
    store->saveContext();
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to save Core Data context: ")), 1);
    EXPECT_FALSE(store->hasChanges()); // dropped, not retried at every later save
    EXPECT_EQ(store->fetchItemEntity(other.id)->content, QStringLiteral("other"));

    store->deleteItemEntity(record);
    EXPECT_FALSE(store->fetchItemEntity(item.id));
    EXPECT_EQ(SqliteDatabase(store->storePath(), false).queryInteger("SELECT count(*) FROM ClipboardMetadataEntity"), 0);
}

TEST(ItemStore, BatchesSkipStoredIdsAndPersistAcrossReopening)
{
    TemporaryStore store;
    const auto insert = [&](const QList<ClipboardItem> &items) {
        std::optional<BatchInsertResult> result;
        QThread *reportedOn = nullptr;
        store->batchInsertItems(items, [&](const BatchInsertResult &r) {
            result = r;
            reportedOn = QThread::currentThread();
        });
        EXPECT_TRUE(waitFor([&] { return result.has_value(); }));
        EXPECT_EQ(reportedOn, QThread::currentThread());
        return result.value_or(BatchInsertResult{});
    };
    // A batch as the very first operation creates the store too.
    const ClipboardItem kept = makeItem(QStringLiteral("kept"), 0);
    EXPECT_TRUE(insert({kept}).saved);

    ClipboardItem sameId = makeItem(QStringLiteral("impostor"), 5);
    sameId.id = kept.id;
    const ClipboardItem b = makeItem(QStringLiteral("b"), 1);
    const ClipboardItem c = makeItem(QStringLiteral("c"), 2);
    const BatchInsertResult result = insert({b, sameId, c, c});
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(std::pair(result.inserted, result.skipped), std::pair(2, 2));
    EXPECT_EQ(contents(store->fetchAllItems()), (QList<QString>{"c", "b", "kept"}));

    // With one record per id, a deleted item stays deleted after a restart.
    store->deleteItemEntity(*store->fetchItemEntity(kept.id));
    store.reopen();
    EXPECT_EQ(contents(store->fetchAllItems()), (QList<QString>{"c", "b"}));
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
    EXPECT_TRUE(waitFor([&] { return worker.isFinished(); }));
    setDiagnosticSink({});
    EXPECT_EQ(worker.result(), 1);
    ASSERT_FALSE(loggingThreads.isEmpty());
    for (QThread *thread : loggingThreads)
        EXPECT_EQ(thread, QThread::currentThread());
}

// A preview that is its content (every image, most texts) and a folded copy that is its text are
// not stored again: a 1 MB image costs about 1 MB, and both still read back and search as before.
TEST(ItemStore, TextsAndImageDataAreStoredOnce)
{
    TemporaryStore store;
    ClipboardItem image = makeItem(QString(700'000, QLatin1Char('A')), 0, ClipboardItemType::image);
    image.preview = image.content;
    const ClipboardItem text = makeItem(QStringLiteral("lower case words"), 1);
    ClipboardItem described = makeItem(QStringLiteral("Mixed Case Content"), 2);
    described.preview = QStringLiteral("Its Own Preview");
    for (const ClipboardItem &item : {image, text, described})
        ASSERT_TRUE(store->createItem(item));
    SqliteDatabase raw(store->storePath(), false);
    raw.execute("PRAGMA wal_checkpoint(TRUNCATE)");
    EXPECT_LT(QFileInfo(store->storePath()).size(), 900'000);

    const QList<ClipboardItemEntity> records = store->fetchAllItems();
    ASSERT_EQ(records.size(), 3);
    for (const ClipboardItemEntity &record : records) {
        const ClipboardItem item = CoreDataManager::makeClipboardItem(record);
        const ClipboardItem &original = item.id == image.id ? image : item.id == text.id ? text : described;
        EXPECT_EQ(item.content, original.content);
        EXPECT_EQ(item.preview, original.preview);
    }
    EXPECT_EQ(store->searchItems(QStringLiteral("CASE WORDS")).size(), 1);
    EXPECT_EQ(store->searchItems(QStringLiteral("own preview")).size(), 1);
    EXPECT_EQ(store->searchItems(QStringLiteral("mixed case")).size(), 1);
}

// The history's read leaves large images' data in the store, with a digest to compare by; the
// data reads back whole, and a record read without it is never written back over it.
TEST(ItemStore, TheHistoryReadLeavesLargeImageDataInTheStore)
{
    TemporaryStore store;
    ClipboardItem large = makeItem(QString(largeImageContentBytes + 1, QLatin1Char('B')), 0, ClipboardItemType::image);
    large.preview = large.content;
    const ClipboardItem small = makeItem(QStringLiteral("iVBORw0K"), 1, ClipboardItemType::image);
    const ClipboardItem text = makeItem(QString(largeImageContentBytes + 1, QLatin1Char('t')), 2);
    for (const ClipboardItem &item : {large, small, text})
        ASSERT_TRUE(store->createItem(item));

    const QList<ClipboardItemEntity> records = store->fetchHistoryItems(0);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0].content, text.content);
    EXPECT_EQ(records[1].content, small.content);
    EXPECT_TRUE(records[1].contentDigest.isEmpty());
    EXPECT_EQ(records[2].content, QString());
    EXPECT_EQ(records[2].preview, QString());
    EXPECT_EQ(records[2].contentDigest, contentDigest(large.content.toUtf8()));
    EXPECT_EQ(store->fetchHistoryItems(1).size(), 1);

    const ClipboardItem held = CoreDataManager::makeClipboardItem(records[2]);
    ASSERT_TRUE(held.isContentInStore());
    const QFuture<std::optional<ClipboardItem>> read = store->fetchStoredContent(held);
    ASSERT_TRUE(read.result());
    EXPECT_EQ(read.result()->content, large.content);
    EXPECT_EQ(read.result()->preview, large.content);
    EXPECT_FALSE(read.result()->isContentInStore());

    DiagnosticsCapture log;
    ClipboardItemEntity changed = records[2];
    changed.isFavorite = true;
    store->updateItemEntity(changed);
    EXPECT_FALSE(store->saveContext());
    EXPECT_EQ(store->fetchItemEntity(large.id)->content, large.content);
    ClipboardItem copy = held;
    copy.id = QUuid::createUuid();
    EXPECT_FALSE(store->createItem(copy));
    EXPECT_FALSE(store->fetchItemEntity(copy.id));
    const QStringList lines = log.lines();
    EXPECT_EQ(lines.filter(QStringLiteral("without its image data cannot be written")).size(), 2) << lines.join('\n').toStdString();
}
