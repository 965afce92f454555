#include "HistoryFixture.h"

#include <QSignalSpy>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class CaptureTest : public HistoryFixture {};

TEST_F(CaptureTest, OneCopyIsReadThenListedThenStoredAndIndexed)
{
    pasteboard.copyText(QStringLiteral("on the clipboard before start"));
    start();
    EXPECT_EQ(history->lastChangeCount(), pasteboard.changeCount());
    EXPECT_TRUE(log.contains(QStringLiteral("📱 Loaded 0 clipboard items and 0 favorites from hybrid storage")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Legacy similarity index initialized with 0 items")));

    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    pasteboard.holdSnapshots = true;
    QStringList storageCallsWhenListed;
    QObject::connect(history.get(), &ClipboardManager::clipboardItemsChanged, [&] { storageCallsWhenListed = storage.calls(); });

    pasteboard.copyText(QStringLiteral("  hello world \n"));
    // The tick asks for a snapshot; nothing is listed or stored until it arrives.
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    EXPECT_TRUE(history->clipboardItems().isEmpty());
    EXPECT_FALSE(storage.calls().contains(QStringLiteral("saveItem:hello world")));

    pasteboard.releaseSnapshots();
    ASSERT_TRUE(waitForTop(QStringLiteral("hello world")));
    EXPECT_FALSE(storageCallsWhenListed.contains(QStringLiteral("saveItem:hello world"))) << "listed before stored";
    EXPECT_EQ(storage.calls().count(QStringLiteral("saveItem:hello world")), 1);

    const ClipboardItem item = history->clipboardItems().first();
    EXPECT_EQ(history->clipboardItems().size(), 1);
    EXPECT_EQ(item.type, ClipboardItemType::text);
    EXPECT_EQ(item.timestamp, clock.now());
    EXPECT_FALSE(item.isFavorite);
    ASSERT_TRUE(item.metadata);
    EXPECT_EQ(item.metadata->sourceApp, QStringLiteral("Editor"));
    EXPECT_EQ(item.metadata->sourceAppBundle, QStringLiteral("org.example.Editor"));
    EXPECT_TRUE(waitFor([&] { return history->similaritySearchManager().indexedItemsCount() == 1; }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 1);
}

TEST_F(CaptureTest, OwnAndIgnoredApplicationsAreSkippedOnTheTick)
{
    start();
    frontApp(QStringLiteral("Snipbrook"), QStringLiteral("com.snipbrook.app"));
    pasteboard.copyText(QStringLiteral("own"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("🔄 Skipping clipboard change from Snipbrook itself")); }));

    // The ignored list is read at every change, so a list changed after start counts.
    configuration.addBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    frontApp(QStringLiteral("KeePassXC"), QStringLiteral("org.keepassxc.KeePassXC"));
    pasteboard.copyText(QStringLiteral("secret"));
    ASSERT_TRUE(waitFor([&] {
        return log.contains(QStringLiteral("🚫 Ignoring clipboard change from blacklisted app: org.keepassxc.KeePassXC"));
    }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 0);

    configuration.removeBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    ASSERT_TRUE(copyAndWait(QStringLiteral("now recorded")));

    // No front application and no running one: a source without identifier is never ignored.
    workspace.front.reset();
    ASSERT_TRUE(copyAndWait(QStringLiteral("from nowhere")));
    EXPECT_EQ(history->clipboardItems().first().metadata->sourceApp, QStringLiteral("Unknown"));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("from nowhere"), QStringLiteral("now recorded")}));
}

TEST_F(CaptureTest, TheLimitIsReadOnceAndTrimsFavouritesToo)
{
    setMaxItems(3);
    start();
    setMaxItems(10);
    EXPECT_EQ(history->maxItems(), 3);

    ASSERT_TRUE(copyAndWait(QStringLiteral("one")));
    const QUuid oldest = history->clipboardItems().first().id;
    history->toggleFavorite(oldest);
    ASSERT_TRUE(copyAndWait(QStringLiteral("two")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("three")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("four")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("four"), QStringLiteral("three"), QStringLiteral("two")}));
    EXPECT_TRUE(history->favoriteItems().contains(oldest));
    EXPECT_TRUE(storage.stored(oldest).has_value());
}

TEST_F(CaptureTest, UnusableLimitFallsBackToTheDefault)
{
    setMaxItems(-5);
    start();
    EXPECT_EQ(history->maxItems(), 1000);
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Unusable history limit, using the default: -5")));
}

TEST_F(CaptureTest, ACopyOfEquivalentContentReplacesTheOlderItem)
{
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("caf\u00e9")));
    const ClipboardItem first = history->clipboardItems().first();
    history->toggleFavorite(first.id);
    ASSERT_TRUE(copyAndWait(QStringLiteral("other")));
    clock.advanceSeconds(60);
    // The decomposed spelling is canonically the same text.
    ASSERT_TRUE(copyAndWait(QStringLiteral("cafe\u0301")));

    ASSERT_EQ(history->clipboardItems().size(), 2);
    const ClipboardItem again = history->clipboardItems().first();
    EXPECT_NE(again.id, first.id);
    EXPECT_EQ(again.timestamp, clock.now());
    EXPECT_FALSE(again.isFavorite);
    EXPECT_TRUE(history->favoriteItems().contains(first.id));
    EXPECT_TRUE(storage.stored(first.id).has_value()) << "only the in-memory list drops the older one";

    // Case differs: not a duplicate. Same content of another kind: not a duplicate.
    ASSERT_TRUE(copyAndWait(QStringLiteral("OTHER")));
    history->addItem(makeItem(ClipboardItemType::file, QStringLiteral("other")));
    ASSERT_TRUE(waitFor([&] { return history->clipboardItems().first().type == ClipboardItemType::file; }));
    EXPECT_EQ(history->clipboardItems().size(), 4);
}

TEST_F(CaptureTest, StartUpWaitsForStorageThenReplacesTheList)
{
    ClipboardItem older = makeItem(ClipboardItemType::text, QStringLiteral("stored older"), 7200);
    older.isFavorite = true;
    const ClipboardItem newer = makeItem(ClipboardItemType::link, QStringLiteral("https://example.org"), 3600);
    storage.seed({older, newer});
    storage.initialized = false;

    history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, storage, vectorStore, clock, timings);
    // Captures go on while storage starts up.
    ASSERT_TRUE(copyAndWait(QStringLiteral("early copy")));
    EXPECT_EQ(log.count(QStringLiteral("📱 Loaded")), 0);

    storage.initialized = true;
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("✅ Legacy similarity index initialized")) == 1; }));
    EXPECT_TRUE(log.contains(QStringLiteral("📱 Loaded 3 clipboard items and 1 favorites from hybrid storage")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Legacy similarity index initialized with 3 items")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("early copy"), newer.content, older.content}));
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{older.id});
}

TEST_F(CaptureTest, RecordTextIsACopyWithNoSourceApplication)
{
    start();
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    EXPECT_FALSE(history->recordText(QStringLiteral(" \n ")).has_value());
    const std::optional<ClipboardItem> item = history->recordText(QStringLiteral("https://example.org/page"));
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->type, ClipboardItemType::link);
    ASSERT_TRUE(waitForTop(QStringLiteral("https://example.org/page")));
    EXPECT_EQ(history->clipboardItems().first().id, item->id);
    EXPECT_FALSE(item->metadata->sourceApp.has_value());
    EXPECT_FALSE(item->metadata->sourceAppBundle.has_value());
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 0);
}

// ---- One read at a time ----

TEST_F(CaptureTest, ChangesDuringAReadCollapseIntoOneReadOfTheNewest)
{
    start();
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("first"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    pasteboard.copyText(QStringLiteral("second"));
    pasteboard.copyText(QStringLiteral("third"));
    ASSERT_TRUE(waitFor([&] { return history->lastChangeCount() == pasteboard.changeCount(); }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 1) << "no second read while one is out";

    // The late answer already holds "third"; it is not recorded for the first change, and the
    // follow-up read of the newest change records it once.
    pasteboard.releaseSnapshots();
    ASSERT_TRUE(waitForTop(QStringLiteral("third")));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 2);
    ASSERT_TRUE(copyAndWait(QStringLiteral("fourth")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("fourth"), QStringLiteral("third")}));
    EXPECT_EQ(storage.calls().filter(QStringLiteral("saveItem:")).size(), 2);
}

TEST_F(CaptureTest, AFailedReadRecordsNothing)
{
    start();
    pasteboard.failNextSnapshot = true;
    pasteboard.copyText(QStringLiteral("unreadable"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.snapshotRequestCount() == 1 && !pasteboard.failNextSnapshot; }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("readable")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("readable")});
}

TEST_F(CaptureTest, AReadThatNeverAnswersTimesOutAndALateAnswerIsDropped)
{
    timings.snapshotTimeoutMs = 30;
    start();
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("from a hung application"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("⚠️ Clipboard read timed out, change not recorded")); }));
    pasteboard.releaseSnapshots();
    ASSERT_TRUE(copyAndWait(QStringLiteral("later copy")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("later copy")});
}

TEST_F(CaptureTest, AnIgnoredChangeDuringAReadKeepsItsContentOut)
{
    configuration.addBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    start();
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("ordinary"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    frontApp(QStringLiteral("KeePassXC"), QStringLiteral("org.keepassxc.KeePassXC"));
    pasteboard.copyText(QStringLiteral("password"));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("🚫 Ignoring")) == 1; }));

    // The held read now answers with the password manager's content: it must not be recorded.
    pasteboard.releaseSnapshots();
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(copyAndWait(QStringLiteral("after")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("after")});
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 2);
}

} // namespace
