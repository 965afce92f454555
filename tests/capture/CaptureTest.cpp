#include "HistoryFixture.h"

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class CaptureTest : public HistoryFixture {};

TEST_F(CaptureTest, OneCopyIsReadThenListedThenStoredAndIndexed)
{
    pasteboard.copyText(QStringLiteral("there before start"));
    start();
    EXPECT_TRUE(log.contains(QStringLiteral("📱 Loaded 0 clipboard items and 0 favorites from hybrid storage")));
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    pasteboard.holdSnapshots = true;
    bool storedWhenListed = true;
    QObject::connect(history.get(), &ClipboardManager::clipboardItemsChanged,
                     [&] { storedWhenListed = !storedItems().isEmpty(); });

    pasteboard.copyText(QStringLiteral("  hello \n"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    EXPECT_TRUE(history->clipboardItems().isEmpty()) << "nothing before the snapshot arrives";
    pasteboard.releaseSnapshots();
    ASSERT_TRUE(waitFor([&] { return contents() == QStringList{QStringLiteral("hello")}; }));
    EXPECT_FALSE(storedWhenListed) << "listed first, then handed to storage";
    const ClipboardItem item = history->clipboardItems()[0];
    EXPECT_TRUE(waitFor([&] { return stored(item.id); }));
    EXPECT_EQ(item.timestamp, clock.now());
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
    // The ignored list is read afresh at every change.
    configuration.addBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    frontApp(QStringLiteral("KeePassXC"), QStringLiteral("org.keepassxc.KeePassXC"));
    pasteboard.copyText(QStringLiteral("secret"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("🚫 Ignoring clipboard change from blacklisted app: org.keepassxc.KeePassXC")); }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 0);
    configuration.removeBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    ASSERT_TRUE(copyAndWait(QStringLiteral("allowed again")));
    workspace.front.reset(); // no identifier: never ignored
    ASSERT_TRUE(copyAndWait(QStringLiteral("from nowhere")));
    EXPECT_EQ(history->clipboardItems().size(), 2);
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
    EXPECT_EQ(history->clipboardItems().size(), 2);
    const ClipboardItem again = history->clipboardItems()[0];
    EXPECT_NE(again.id, first.id);
    EXPECT_EQ(again.timestamp, clock.now());
    EXPECT_FALSE(again.isFavorite);
    EXPECT_TRUE(waitFor([&] { return stored(first.id); })) << "only the in-memory list drops the older one";

    // Another kind with the same content, and another case, are not duplicates; the fourth
    // item pushes out the oldest, favourite or not.
    history->toggleFavorite(history->clipboardItems()[1].id);
    const QUuid oldest = history->clipboardItems()[1].id;
    addAll({makeItem(ClipboardItemType::file, QStringLiteral("OTHER")), makeItem(ClipboardItemType::text, QStringLiteral("OTHER"))});
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("OTHER"), QStringLiteral("OTHER"), QStringLiteral("cafe\u0301")}));
    EXPECT_TRUE(history->favoriteItems().contains(oldest));
    EXPECT_TRUE(waitFor([&] { return stored(oldest); }));
}

TEST_F(CaptureTest, StartUpWaitsForStorageThenReplacesTheList)
{
    ClipboardItem older = makeItem(ClipboardItemType::text, QStringLiteral("stored older"), 7200);
    older.isFavorite = true;
    seed({older, makeItem(ClipboardItemType::link, QStringLiteral("https://example.org"), 3600)});
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

TEST_F(CaptureTest, RecordTextIsACopyWithNoSourceApplication)
{
    start();
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    EXPECT_FALSE(history->recordText(QStringLiteral(" \n ")));
    const auto item = history->recordText(QStringLiteral("https://example.org/page"));
    ASSERT_TRUE(item && item->type == ClipboardItemType::link);
    EXPECT_FALSE(item->metadata->sourceAppBundle);
    ASSERT_TRUE(waitFor([&] { return !history->clipboardItems().isEmpty() && history->clipboardItems()[0].id == item->id; }));
}

// ---- One clipboard read at a time ----

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
    // The late answer already holds "third": it is dropped, and the newest change read once.
    pasteboard.releaseSnapshots();
    ASSERT_TRUE(waitFor([&] { return contents().value(0) == QStringLiteral("third"); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("fourth")));
    EXPECT_TRUE(waitFor([&] { return storedItems().size() == 2; }));
    EXPECT_EQ(pasteboard.snapshotRequestCount(), 3);
}

TEST_F(CaptureTest, FailedAndTimedOutReadsRecordNothing)
{
    timings.snapshotTimeoutMs = 30;
    start();
    pasteboard.failNextSnapshot = true;
    pasteboard.copyText(QStringLiteral("unreadable"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.snapshotRequestCount() == 1 && !pasteboard.failNextSnapshot; }));
    pasteboard.holdSnapshots = true;
    pasteboard.copyText(QStringLiteral("from a hung application"));
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("⚠️ Clipboard read timed out, change not recorded")); }));
    pasteboard.releaseSnapshots(); // too late
    ASSERT_TRUE(copyAndWait(QStringLiteral("after")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("after")});
}

TEST_F(CaptureTest, AReadOvertakenByAnIgnoredCopyRecordsNothing)
{
    configuration.addBlacklistedBundleId(QStringLiteral("org.keepassxc.KeePassXC"));
    start();
    pasteboard.holdSnapshots = true;
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    pasteboard.copyText(QStringLiteral("ordinary"));
    ASSERT_TRUE(waitFor([&] { return pasteboard.pendingSnapshotCount() == 1; }));
    frontApp(QStringLiteral("KeePassXC"), QStringLiteral("org.keepassxc.KeePassXC"));
    pasteboard.copyText(QStringLiteral("password"));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("🚫 Ignoring")) == 1; }));
    pasteboard.releaseSnapshots(); // answers with the password manager's content
    frontApp(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    ASSERT_TRUE(copyAndWait(QStringLiteral("after")));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("after")});
}

} // namespace
