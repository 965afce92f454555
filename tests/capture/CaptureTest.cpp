#include "HistoryFixture.h"
#include "core/BackgroundPool.h"

#include <QFile>

#include <QSemaphore>
#include <QThreadPool>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class CaptureTest : public HistoryFixture {};

TEST_F(CaptureTest, OneCopyIsReadThenListedThenStoredAndIndexed)
{
    pasteboard.copyText(QStringLiteral("there before start"));
    start();
    EXPECT_TRUE(log.contains(QStringLiteral("✅ SimilaritySearchKitManager initialized with local implementation")));
    frontApp("Editor");
    pasteboard.holdSnapshots = true;
    bool storedWhenListed = true;
    QObject::connect(history.get(), &ClipboardManager::clipboardItemsChanged, [&] { storedWhenListed = !storedItems().isEmpty(); });
    pasteboard.copyText(QStringLiteral("  hello \n"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    EXPECT_TRUE(history->clipboardItems().isEmpty()) << "nothing before the snapshot arrives";
    pasteboard.releaseSnapshots();
    ASSERT_TRUE(waitFor([&] { return contents() == QStringList{QStringLiteral("hello")}; }));
    EXPECT_FALSE(storedWhenListed) << "listed first, then handed to storage";
    const ClipboardItem item = history->clipboardItems()[0];
    EXPECT_EQ(item.timestamp, clock.now());
    EXPECT_EQ(item.metadata->sourceAppBundle, QStringLiteral("org.Editor"));
    EXPECT_TRUE(waitFor([&] { return stored(item.id) && history->similaritySearchManager().indexedItemsCount() == 1; }));
}

TEST_F(CaptureTest, OwnAndIgnoredApplicationsAreSkippedOnTheTick)
{
    start();
    workspace.front = RunningApplication{QStringLiteral("Snipbrook"), QStringLiteral("com.snipbrook.app"), 1, true, true};
    pasteboard.copyText(QStringLiteral("own"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("🔄 Skipping clipboard change from Snipbrook itself")); }));
    configuration.addBlacklistedBundleId(QStringLiteral("org.KeePassXC")); // read afresh at every change
    frontApp("KeePassXC");
    pasteboard.copyText(QStringLiteral("secret"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("🚫 Ignoring clipboard change from blacklisted app: org.KeePassXC")); }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 0);
    configuration.removeBlacklistedBundleId(QStringLiteral("org.KeePassXC"));
    ASSERT_TRUE(copyAndWait(QStringLiteral("allowed again")));
    workspace.front.reset(); // no identifier: never ignored
    ASSERT_TRUE(copyAndWait(QStringLiteral("from nowhere")));
}

TEST_F(CaptureTest, DuplicatesMoveToTheTopAsNewItemsAndTheLimitTrimsFavourites)
{
    setMaxItems(3);
    start();
    setMaxItems(10); // read once
    ASSERT_TRUE(copyAndWait(QStringLiteral("caf\u00e9")));
    const ClipboardItem first = history->clipboardItems()[0];
    history->toggleFavorite(first.id);
    ASSERT_TRUE(copyAndWait(QStringLiteral("other")));
    clock.advanceSeconds(60);
    ASSERT_TRUE(copyAndWait(QStringLiteral("cafe\u0301"))); // canonically the same text
    ASSERT_EQ(history->clipboardItems().size(), 2);
    const ClipboardItem again = history->clipboardItems()[0];
    // The new copy replaces the older one everywhere and keeps its star.
    EXPECT_TRUE(again.id != first.id && again.timestamp == clock.now() && again.isFavorite);
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{again.id});
    EXPECT_TRUE(waitFor([&] { return !stored(first.id) && stored(again.id); }));
    EXPECT_EQ(storage->searchItems(QStringLiteral("cafe")).size(), 1);

    // Another kind or another case is no duplicate; the fourth item pushes out a favourite.
    const QUuid oldest = history->clipboardItems()[1].id;
    history->toggleFavorite(oldest);
    addAll({makeItem(Type::file, QStringLiteral("OTHER")), makeItem(Type::text, QStringLiteral("OTHER"))});
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("OTHER"), QStringLiteral("OTHER"), QStringLiteral("cafe\u0301")}));
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{again.id}) << "the favourites are those the history holds";
    EXPECT_TRUE(waitFor([&] { return stored(oldest); })) << "a favourite trimmed from the history stays stored";
}

TEST_F(CaptureTest, StartUpWaitsForStorageThenReplacesTheList)
{
    ClipboardItem older = makeItem(Type::text, QStringLiteral("stored older"), 7200);
    older.isFavorite = true;
    seed({older, makeItem(Type::link, QStringLiteral("https://example.org"), 3600)});
    // The start-up pause only precedes an import of earlier files: an empty one is enough.
    QFile legacy(folder.filePath(QStringLiteral("clipboard_history.json")));
    ASSERT_TRUE(legacy.open(QIODevice::WriteOnly) && legacy.write("[]") == 2);
    legacy.close();
    storageStartDelay = std::chrono::milliseconds(500);
    setMaxItems(-5);
    create();
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Unusable history limit, using the default: -5")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("early copy"))); // captures go on meanwhile
    EXPECT_FALSE(storage->isInitialized());
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("✅ Legacy similarity index initialized with 3 items")); }));
    EXPECT_TRUE(log.contains(QStringLiteral("📱 Loaded 3 clipboard items and 1 favorites from hybrid storage")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("early copy"), QStringLiteral("https://example.org"), older.content}));
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{older.id});
}

TEST_F(CaptureTest, ChangesDuringAReadCollapseIntoOneReadOfTheNewest)
{
    start();
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("first"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    pasteboard.copyText(QStringLiteral("second"));
    pasteboard.copyText(QStringLiteral("third"));
    ASSERT_TRUE(waitFor([&] { return history->lastChangeCount() == pasteboard.changeCount(); }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 1);
    pasteboard.releaseSnapshots(); // the late answer holds "third": dropped, then read once
    ASSERT_TRUE(waitFor([&] { return contents().value(0) == QStringLiteral("third"); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("fourth")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("fourth"), QStringLiteral("third")}));
    EXPECT_TRUE(waitFor([&] { return storedItems().size() == 2; }));
}

TEST_F(CaptureTest, FailedTimedOutAndOvertakenReadsRecordNothing)
{
    timings.snapshotTimeoutMs = 500;
    configuration.addBlacklistedBundleId(QStringLiteral("org.KeePassXC"));
    start();
    pasteboard.failNextSnapshot = true;
    pasteboard.copyText(QStringLiteral("unreadable"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.snapshotRequestCount() == 1 && !pasteboard.failNextSnapshot; }));
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("from a hung application"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("⚠️ Clipboard read timed out, change not recorded")); }));
    pasteboard.releaseSnapshots(); // too late

    // A read overtaken by a password manager's copy would see the secret: it records nothing.
    pasteboard.holdSnapshots = true;
    frontApp("Editor");
    pasteboard.copyText(QStringLiteral("ordinary"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    frontApp("KeePassXC");
    pasteboard.copyText(QStringLiteral("password"));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("🚫 Ignoring")) == 1; }));
    pasteboard.releaseSnapshots();
    frontApp("Editor");
    ASSERT_TRUE(copyAndWait(QStringLiteral("after")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("after")});
}

TEST_F(CaptureTest, CopiesOverTheItemSizeLimitAreSkippedWithOneLineAndNothingStored)
{
    setMaxItemSize(1000);
    start();
    ASSERT_TRUE(copyAndWait(QString(1000, u'a'))); // exactly the limit
    pasteboard.copyText(QString(1001, u'b'));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("⚠️ Skipped a copy larger than the item size limit: 1001 bytes (limit 1000 bytes)")); }));
    PasteboardSnapshot captioned; // every representation counts: together one byte too many
    captioned.data[mime::png] = QByteArray(600, 'x');
    captioned.text = QString(401, u'c');
    pasteboard.copy(captioned);
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("⚠️ Skipped a copy larger than the item size limit: ")) == 2; }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("small")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("small"), QString(1000, u'a')}));
    EXPECT_TRUE(waitFor([&] { return storedItems().size() == 2; }));
}

TEST_F(CaptureTest, AnUnusableItemSizeLimitFallsBackTo64MiB)
{
    setMaxItemSize(0);
    start();
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Unusable item size limit, using the default: 0")));
    PasteboardSnapshot image;
    image.data[mime::png] = QByteArray(64 * 1024 * 1024 + 1, '\0');
    pasteboard.copy(std::move(image));
    EXPECT_TRUE(waitFor([&] { return log.contains(QStringLiteral("⚠️ Skipped a copy larger than the item size limit: 67108865 bytes (limit 67108864 bytes)")); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("within the limit")));
    EXPECT_EQ(history->clipboardItems().size(), 1);
}

// An image's Base64 text is the item's content and its preview: one string, held once.
TEST_F(CaptureTest, AnImageIsHeldOnceWhenCapturedAndWhenLoadedBack)
{
    start();
    PasteboardSnapshot image;
    image.data[mime::png] = QByteArray(3000, 'x');
    pasteboard.copy(image);
    ASSERT_TRUE(waitFor([&] { return !history->clipboardItems().isEmpty(); }));
    const ClipboardItem item = history->clipboardItems()[0];
    ASSERT_EQ(item.type, Type::image);
    EXPECT_EQ(item.preview.constData(), item.content.constData());
    ASSERT_TRUE(waitFor([&] { return stored(item.id); }));
    const std::optional<ClipboardItem> loaded = storage->loadItem(item.id);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->content, item.content);
    EXPECT_EQ(loaded->preview.constData(), loaded->content.constData());
}

// Keeps every thread of the background pool busy until released, so work queued there waits.
class HeldPool {
public:
    HeldPool() : m_threads(backgroundPool().maxThreadCount())
    {
        for (int i = 0; i < m_threads; ++i)
            backgroundPool().start([this] {
                m_running.release();
                m_gate.acquire();
            });
    }
    ~HeldPool() { release(); }
    bool allHeld() { return waitFor([&] { return m_running.available() == m_threads; }); }
    void release()
    {
        m_gate.release(m_threads - m_released);
        m_released = m_threads;
    }

private:
    const int m_threads;
    int m_released = 0;
    QSemaphore m_running, m_gate;
};

// Classification runs off the main thread; were the next copy read meanwhile, it could be
// recorded first and end up below the copy made before it.
TEST_F(CaptureTest, ACopyMadeWhileTheEarlierOneIsClassifiedIsReadAfterItAndListedAboveIt)
{
    start();
    ASSERT_TRUE(waitFor([&] { return history->isLoaded(); }));
    HeldPool pool;
    ASSERT_TRUE(pool.allHeld());
    pasteboard.copyText(QStringLiteral("earlier"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.deliveredSnapshotCount() == 1; }));
    pasteboard.copyText(QStringLiteral("later"));
    ASSERT_TRUE(waitFor([&] { return history->lastChangeCount() == pasteboard.changeCount(); }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 1) << "one read at a time, classification included";
    EXPECT_TRUE(history->clipboardItems().isEmpty());
    pool.release();
    ASSERT_TRUE(waitFor([&] { return contents() == QStringList{QStringLiteral("later"), QStringLiteral("earlier")}; }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 2);
}

} // namespace

namespace {

// A store whose first load of the history waits until the test lets it go.
class GatedStorage : public HybridDataManager {
public:
    using HybridDataManager::HybridDataManager;
    QList<ClipboardItem> loadItems(std::optional<int> limit) override
    {
        if (!limit) // not the history's own load
            return HybridDataManager::loadItems(limit);
        entered.release();
        gate.acquire();
        return HybridDataManager::loadItems(limit);
    }
    QSemaphore entered, gate;
};

} // namespace

// A copy captured while the first load runs once vanished when the loaded list replaced the
// history, until the next start.
TEST_F(CaptureTest, ACopyOfALoadedItemReplacesItBeforeAndAfterItsKeysAreWorkedOut)
{
    // The loaded history's duplicate keys come later, off the main thread; a copy must find its
    // older self either way.
    seed({makeItem(Type::text, QStringLiteral("caf\u00e9"), 300), makeItem(Type::text, QStringLiteral("na\u00efve"), 200)});
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("cafe\u0301")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("cafe\u0301"), QStringLiteral("na\u00efve")}));
    QThreadPool::globalInstance()->waitForDone();
    backgroundPool().waitForDone();
    QCoreApplication::processEvents();
    ASSERT_TRUE(copyAndWait(QStringLiteral("nai\u0308ve")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("nai\u0308ve"), QStringLiteral("cafe\u0301")}));
}

TEST_F(CaptureTest, CopiesDuringTheFirstLoadStayOnTopOfTheLoadedHistory)
{
    seed({makeItem(Type::text, QStringLiteral("stored one"), 300), makeItem(Type::text, QStringLiteral("copied twice"), 200),
          makeItem(Type::text, QStringLiteral("stored three"), 100)});
    setMaxItems(3);
    auto gated = std::make_unique<GatedStorage>(store, vectors, preferences, folder.path(), std::chrono::milliseconds(0));
    GatedStorage *load = gated.get();
    storage = std::move(gated);
    history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, *storage, *searcher, clock, timings);
    ASSERT_TRUE(waitFor([&] { return load->entered.tryAcquire(); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("copied twice")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("during the load")));
    load->gate.release();
    ASSERT_TRUE(waitFor([&] { return history->isLoaded(); }));
    // The new copies first, then the stored items the history lacks, up to the limit.
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("during the load"), QStringLiteral("copied twice"),
                                       QStringLiteral("stored three")}));
}
