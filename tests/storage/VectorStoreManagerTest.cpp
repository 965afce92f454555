#include "core/Async.h"
#include "storage/VectorIndexFile.h"
#include "storage/VectorStoreManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakeEmbedders.h"
#include "support/FixedClock.h"
#include "support/TestFiles.h"
#include "support/WaitFor.h"

#include "model/Uuid.h"

#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace std::chrono_literals;

namespace {

template <typename T>
T await(QFuture<T> future)
{
    EXPECT_TRUE(waitFor([&] { return future.isFinished(); }));
    if constexpr (!std::is_void_v<T>)
        return future.result();
}

ClipboardItem textItem(int n, const QString &content, ClipboardItemType type = ClipboardItemType::text)
{
    ClipboardItem item;
    item.id = QUuid(QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
    item.type = type;
    item.content = content;
    item.preview = content.left(20);
    item.timestamp = QDateTime::fromMSecsSinceEpoch(1'714'555'800'250, Qt::UTC); // 2024-05-01T09:30:00.250Z
    return item;
}

QList<ClipboardItem> numberedItems(int count, int first = 1)
{
    QList<ClipboardItem> items;
    for (int n = first; n < first + count; ++n)
        items.append(textItem(n, QStringLiteral("note number %1 about topic%1").arg(n)));
    return items;
}

QString key(const ClipboardItem &item) { return uuidString(item.id); }

// One field of every entry, sorted.
QStringList sortedField(VectorStoreManager &store, QString VectorItem::*field)
{
    QStringList values;
    for (const VectorItem &entry : await(store.entries()))
        values.append(entry.*field);
    values.sort();
    return values;
}

class VectorStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<VectorStoreManager> open()
    {
        auto store = std::make_unique<VectorStoreManager>(embedder, dir.path(), clock);
        await(store->loaded());
        return store;
    }

    QTemporaryDir dir;
    HashingEmbedder embedder;
    FixedClock clock = FixedClock::at("2024-05-01T12:00:00", "Europe/Berlin");
    DiagnosticsCapture log;
};

} // namespace

TEST_F(VectorStoreTest, BatchIndexesNonBlankItemsInChunksAndWritesAPrivateFile)
{
    auto store = open();
    QSignalSpy indexing(store.get(), &VectorStoreManager::isIndexingChanged);
    QList<ClipboardItem> items = numberedItems(25);
    items.insert(3, textItem(90, " \n\t "));
    await(store->addItems(items));

    EXPECT_EQ(indexing.count(), 2);
    EXPECT_EQ(store->indexedItemsCount(), 25);
    EXPECT_EQ(embedder.calls(), 25);
    EXPECT_EQ(QFile::permissions(store->indexFilePath()) & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser);
}

TEST(VectorStoreChunks, NextChunkStartsOnlyWhenTheWholeChunkIsDone)
{
    QTemporaryDir dir;
    TableEmbedder embedder;
    QList<ClipboardItem> items = numberedItems(12);
    for (const ClipboardItem &item : items)
        embedder.set(item.content, {1.0f, 0.0f});
    embedder.hold(items[2].content);

    VectorStoreManager store(embedder, dir.path());
    const QFuture<void> batch = store.addItems(items);
    ASSERT_TRUE(waitFor([&] { return embedder.isWaiting(items[2].content); }));
    // While one item of the first chunk is unfinished, the second chunk does not start.
    EXPECT_FALSE(waitFor([&] { return embedder.wasRequested(items[10].content) || embedder.wasRequested(items[11].content); }, 200));
    embedder.release(items[2].content);
    await(batch);
    EXPECT_EQ(store.indexedItemsCount(), 12);
}

TEST_F(VectorStoreTest, SingleAdditionsAndRemovalsSurviveARestart)
{
    auto store = open();
    store->setSaveDelay(20ms);
    await(store->addItems(numberedItems(3)));
    log.clear();

    await(store->addItem(textItem(10, "added on its own")));
    await(store->removeItem(numberedItems(1)[0].id));
    ASSERT_TRUE(waitFor([&] { return log.count("✅ Vector index saved to: ") == 1; }));
    store.reset();

    auto reopened = open();
    EXPECT_EQ(sortedField(*reopened, &VectorItem::id), QStringList({key(numberedItems(3)[1]), key(numberedItems(3)[2]), key(textItem(10, ""))}));

    // At quit (destruction) changes not yet saved are written at once.
    reopened->setSaveDelay(1h);
    await(reopened->addItem(textItem(11, "added just before quitting")));
    reopened.reset();
    EXPECT_TRUE(open()->indexedItemsCount() == 4);
}

// The file waits for the history's first load; what arrives meanwhile must neither be lost by the
// load nor lose the file's entries.
TEST_F(VectorStoreTest, ChangesMadeWhileTheLoadWaitsKeepTheFileEntries)
{
    {
        auto store = open();
        await(store->addItems(numberedItems(2)));
    }
    QPromise<void> historyListed;
    historyListed.start();
    VectorStoreManager store(embedder, dir.path(), clock, nullptr, historyListed.future());
    const QFuture<void> added = store.addItem(textItem(10, "copied during start-up"));
    const QFuture<void> removed = store.removeItem(numberedItems(1)[0].id);
    EXPECT_FALSE(store.loaded().isFinished());

    historyListed.finish();
    await(store.loaded());
    await(added);
    await(removed);
    EXPECT_EQ(sortedField(store, &VectorItem::id), QStringList({key(numberedItems(2)[1]), key(textItem(10, ""))}));
}

TEST_F(VectorStoreTest, CountsOperationsNotKeys)
{
    auto store = open();
    const ClipboardItem item = textItem(1, "the same note");
    await(store->addItem(item));
    await(store->addItem(item));
    EXPECT_EQ(store->indexedItemsCount(), 2);
    EXPECT_EQ(sortedField(*store, &VectorItem::id).size(), 1);

    for (int i = 0; i < 3; ++i) // never below zero
        await(store->removeItem(item.id));
    EXPECT_EQ(store->indexedItemsCount(), 0);

    // Blank items are skipped without a call; items without a vector are logged and not counted.
    await(store->addItem(textItem(2, "  \n")));
    await(store->addItem(textItem(3, "ab")));
    EXPECT_EQ(embedder.calls(), 3);
    EXPECT_EQ(store->indexedItemsCount(), 0);
}

TEST_F(VectorStoreTest, ImagesAreIndexedUnderAShortDescription)
{
    auto store = open();
    ClipboardItem fromApp = textItem(1, QString(5000, 'A'), ClipboardItemType::image);
    fromApp.metadata = ClipboardMetadata{};
    fromApp.metadata->sourceApp = "Image Viewer";
    fromApp.metadata->size = 3750;
    ClipboardItem unknown = textItem(2, QString(5000, 'B'), ClipboardItemType::image);
    await(store->addItems({fromApp, unknown}));

    EXPECT_EQ(sortedField(*store, &VectorItem::text), QStringList({"Image", "Image from Image Viewer"}));
    const auto hits = await(store->semanticSearch("image viewer", 10));
    ASSERT_FALSE(hits.isEmpty());
    EXPECT_EQ(hits[0].metadata, (QMap<QString, QString>{{"type", "image"}, {"timestamp", "2024-05-01T09:30:00Z"},
                                                        {"isFavorite", "false"}, {"sourceApp", "Image Viewer"}, {"size", "3750"}}));
}

TEST_F(VectorStoreTest, SemanticSearchRanksFiltersAndLogs)
{
    auto store = open();
    ClipboardItem code = textItem(1, "parse json config loader", ClipboardItemType::code);
    code.timestamp = clock.now().addSecs(-600);
    ClipboardItem old = textItem(2, "parse json config loader old copy", ClipboardItemType::code);
    old.timestamp = clock.now().addDays(-3);
    ClipboardItem prose = textItem(3, "parse json config loader notes");
    prose.timestamp = clock.now();
    await(store->addItems({code, old, prose, textItem(4, "grocery list milk eggs")}));

    const auto all = await(store->semanticSearch("json config loader", 50));
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].id, code.id);

    const auto filtered = await(store->semanticSearch("json config loader code from yesterday", 50));
    ASSERT_EQ(filtered.size(), 1);
    EXPECT_EQ(filtered[0].id, code.id);

    EXPECT_TRUE(await(store->semanticSearch("json config loader", 0)).isEmpty());
    EXPECT_TRUE(await(store->semanticSearch(" \n ", 50)).isEmpty());
    // The query is logged as it stands, never used as a format string.
    EXPECT_TRUE(await(store->semanticSearch(" %1 ", 50)).isEmpty());
    EXPECT_TRUE(log.contains("❌ Failed to generate embedding for query:  %1 "));
}

TEST(VectorStoreRaces, AnAdditionOvertakenByALaterRemovalStaysRemoved)
{
    QTemporaryDir dir;
    TableEmbedder embedder;
    const ClipboardItem item = textItem(1, "secret that was deleted");
    embedder.set(item.content, {1.0f});
    embedder.hold(item.content);

    VectorStoreManager store(embedder, dir.path());
    const QFuture<void> added = store.addItem(item);
    ASSERT_TRUE(waitFor([&] { return embedder.isWaiting(item.content); }));
    await(store.removeItem(item.id));
    embedder.release(item.content);
    await(added);

    EXPECT_TRUE(await(store.entries()).empty());
    EXPECT_EQ(store.indexedItemsCount(), 0);
}

TEST_F(VectorStoreTest, UnreadableAndUnwritableFilesAreLoggedAndSurvived)
{
    const QString file = dir.filePath("clipboard_vector_index.json");
    ASSERT_TRUE(writeFile(file, "{\"A\": {\"text\": \"trunc"));
    EXPECT_EQ(open()->indexedItemsCount(), 0);
    EXPECT_EQ(log.count("❌ Failed to load existing vector index: "), 1);

    // A documents "folder" that is a file: the save fails, the entries stay in memory.
    VectorStoreManager blocked(embedder, file);
    await(blocked.addItems(numberedItems(2)));
    EXPECT_EQ(log.count("❌ Failed to save vector index: "), 1);
    EXPECT_EQ(await(blocked.entries()).size(), 2u);
}

// A link planted where the index file goes would have the index (clipboard text) written
// wherever it points; the link is replaced by the file instead.
TEST_F(VectorStoreTest, TheIndexIsNeverWrittenThroughASymbolicLink)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("victim");
    ASSERT_TRUE(writeFile(target, "untouched"));
    ASSERT_TRUE(QFile::link(target, dir.filePath("clipboard_vector_index.json")));

    auto store = open();
    await(store->addItems(numberedItems(2)));
    EXPECT_FALSE(QFileInfo(store->indexFilePath()).isSymLink());
    EXPECT_EQ(readFile(target), "untouched");
    EXPECT_EQ(log.count("⚠️ Replaced a symbolic link with the file itself: "), 1);
    store.reset();
    EXPECT_EQ(open()->indexedItemsCount(), 2);
}

TEST(PoolTask, AWaitingCallerNeverRunsQueuedWorkItself)
{
    QThreadPool queue;
    queue.setMaxThreadCount(1);
    QSemaphore firstMayEnd;
    QThread *firstThread = nullptr, *secondThread = nullptr;
    const QFuture<void> first = runOnPool(queue, [&] {
        firstThread = QThread::currentThread();
        firstMayEnd.acquire();
    });
    QFuture<void> second = runOnPool(queue, [&] { secondThread = QThread::currentThread(); });
    // Give the main thread time to block on the second task while the first still runs.
    std::thread releaser([&] {
        QThread::msleep(50);
        firstMayEnd.release();
    });
    second.waitForFinished();
    releaser.join();
    EXPECT_TRUE(first.isFinished());
    EXPECT_EQ(secondThread, firstThread);
    EXPECT_NE(secondThread, QThread::currentThread());
}

TEST(PoolTask, AChainedStepRunsOnTheQueueWithTheResultEvenWhenBothFinishAtOnce)
{
    // Thousands of chains whose first step ends while the previous chain's second step is still
    // finishing on the queue: the moment the continuation-based chain crashed in.
    QThreadPool workers, queue;
    workers.setMaxThreadCount(2);
    queue.setMaxThreadCount(1);
    QThread *queueThread = nullptr;
    runOnPool(queue, [&] { queueThread = QThread::currentThread(); }).waitForFinished();

    std::atomic<int> offQueue = 0;
    QList<QFuture<int>> chains;
    for (int i = 0; i < 3000; ++i) {
        chains.append(runOnPoolThen(
            workers, [i] { return i * 2; }, queue,
            [&, i](int doubled) {
                if (QThread::currentThread() != queueThread)
                    ++offQueue;
                return doubled + i;
            }));
    }
    for (int i = 0; i < chains.size(); ++i)
        ASSERT_EQ(chains[i].result(), 3 * i);
    EXPECT_EQ(offQueue, 0);
}
