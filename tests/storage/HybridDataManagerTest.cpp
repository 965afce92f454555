#include "storage/HybridDataManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakeEmbedders.h"
#include "support/FakePreferences.h"
#include "support/TestFiles.h"
#include "support/WaitFor.h"

#include "model/Uuid.h"
#include "storage/Sqlite.h"

#include <QDir>
#include <QPromise>
#include <QThreadPool>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace std::chrono_literals;

namespace {

const QString flag = QString::fromLatin1(HybridDataManager::migrationKey);

template <typename T>
void await(QFuture<T> future)
{
    EXPECT_TRUE(waitFor([&] { return future.isFinished(); }, 20000));
}

ClipboardItem item(int n, const QString &content)
{
    ClipboardItem item;
    item.id = QUuid(QStringLiteral("10000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
    item.content = content;
    item.preview = content.left(30);
    item.timestamp = QDateTime::fromSecsSinceEpoch(1'700'000'000 + n, Qt::UTC);
    return item;
}

QList<ClipboardItem> legacyItems(int count)
{
    QList<ClipboardItem> items;
    for (int n = 1; n <= count; ++n)
        items.append(item(n, QStringLiteral("legacy note %1 about subject%1").arg(n)));
    return items;
}

// The store, the index and the preferences of one installation; start() is one run of the program.
class Installation : public ::testing::Test {
protected:
    void start(const QString &storeDir = {})
    {
        hybrid.reset();
        vectors.reset();
        store.reset();
        store = std::make_unique<CoreDataManager>(storeDir.isEmpty() ? dataDir.path() : storeDir, [](const QString &) {});
        vectors = std::make_unique<VectorStoreManager>(embedder, documents.path());
        hybrid = std::make_unique<HybridDataManager>(*store, *vectors, preferences, documents.path(), startDelay);
    }

    void startAndWait()
    {
        start();
        ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));
        await(hybrid->missingEntriesIndexed());
    }

    void writeLegacy(const QList<ClipboardItem> &items, const QList<QUuid> &favorites)
    {
        QJsonArray history, ids;
        for (const ClipboardItem &item : items)
            history.append(item.toJson());
        for (const QUuid &id : favorites)
            ids.append(uuidString(id));
        write(documents.filePath("clipboard_history.json"), QJsonDocument(history).toJson());
        write(documents.filePath("favorites.json"), QJsonDocument(ids).toJson());
    }

    static void write(const QString &path, const QByteArray &bytes) { ASSERT_TRUE(writeFile(path, bytes)); }

    QString backup(const char *name = "") const { return QDir(documents.filePath("json_backup")).filePath(name); }

    int indexEntries()
    {
        auto future = vectors->entries();
        EXPECT_TRUE(waitFor([&] { return future.isFinished(); }));
        return static_cast<int>(future.result().size());
    }

    QTemporaryDir documents, dataDir;
    std::chrono::milliseconds startDelay = 0ms;
    HashingEmbedder embedder;
    FakePreferences preferences;
    DiagnosticsCapture log;
    std::unique_ptr<CoreDataManager> store;
    std::unique_ptr<VectorStoreManager> vectors;
    std::unique_ptr<HybridDataManager> hybrid;
};

} // namespace

// The pause before an import is for the import: a first start with nothing to import is ready
// at once, like every later start.
TEST_F(Installation, AFirstStartWithoutLegacyFilesDoesNotWaitTheImportPause)
{
    startDelay = 1h;
    startAndWait();
    EXPECT_TRUE(preferences.boolean(flag));
}

TEST_F(Installation, FirstStartWithoutUsableLegacyFilesSetsTheFlagAndMakesNoBackup)
{
    const QString history = documents.filePath("clipboard_history.json");
    write(history, "[{\"id\": 1}"); // corrupt: nothing to import
    startAndWait();
    EXPECT_EQ(readFile(history), "[{\"id\": 1}"); // left where it is, as it is
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_FALSE(hybrid->isMigrating());
    EXPECT_EQ(hybrid->migrationProgress(), 1.0);
    EXPECT_FALSE(QFileInfo::exists(backup()));
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());

    // The next start does not look at the legacy files again.
    log.clear();
    startAndWait();
    EXPECT_EQ(log.count("🔄 Starting migration"), 0);
}

TEST_F(Installation, MigrationImportsInChunksWithFavouritesFromTheFavouritesFile)
{
    QList<ClipboardItem> items = legacyItems(120);
    items[0].isFavorite = true;  // marked in the history file only: not a favourite
    items[5].content = "  \n "; // stored, but not indexed
    writeLegacy(items, {items[1].id, items[7].id, QUuid::createUuid()});

    start();
    QSignalSpy progress(hybrid.get(), &HybridDataManager::migrationProgressChanged);
    QSignalSpy migrating(hybrid.get(), &HybridDataManager::isMigratingChanged);
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));

    QStringList milestones;
    for (const QString &line : log.lines())
        if (line.startsWith("📊") || line.startsWith("✅ Batch indexed") || line.startsWith("✅ JSON backup"))
            milestones.append(line);
    // The chunks are stored first; the history can list them while they are embedded afterwards,
    // in one batch that writes the index file once.
    EXPECT_EQ(milestones, QStringList({"📊 Migration progress: 33%", "📊 Migration progress: 66%",
                                       "📊 Migration progress: 100%", "✅ JSON backup created at: " + backup()}));
    ASSERT_EQ(progress.count(), 3);
    EXPECT_DOUBLE_EQ(progress[0][0].toDouble(), 1.0 / 3.0);
    EXPECT_EQ(progress[2][0].toDouble(), 1.0);
    ASSERT_EQ(migrating.count(), 2);
    EXPECT_FALSE(migrating[1][0].toBool());
    EXPECT_TRUE(preferences.boolean(flag));

    // Completion waited for the store: every item is there as soon as start-up is done.
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 120);
    QSet<QUuid> favourites;
    for (const ClipboardItem &favourite : hybrid->loadFavoriteItems())
        favourites.insert(favourite.id);
    EXPECT_EQ(favourites, QSet<QUuid>({items[1].id, items[7].id}));
    await(hybrid->missingEntriesIndexed());
    EXPECT_EQ(indexEntries(), 119);
    EXPECT_EQ(log.count("✅ Batch indexed 119 items"), 1);
    EXPECT_EQ(log.count("✅ Vector index saved to: "), 1);
    for (const char *name : {"clipboard_history_backup.json", "favorites_backup.json"})
        EXPECT_EQ(QFile::permissions(backup(name)) & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser) << name;
}

TEST_F(Installation, OneUnreadableEntryCostsOnlyItselfAndTheFilesAreBackedUp)
{
    QList<ClipboardItem> items = legacyItems(200);
    writeLegacy(items, {items[3].id, items[150].id});
    QJsonArray history = QJsonDocument::fromJson(readFile(documents.filePath("clipboard_history.json"))).array();
    QJsonObject bad = history[100].toObject();
    bad["timestamp"] = "2023-11-14"; // a date, not the seconds the format has
    history[100] = bad;
    write(documents.filePath("clipboard_history.json"), QJsonDocument(history).toJson());
    write(documents.filePath("favorites.json"),
          QJsonDocument(QJsonArray{uuidString(items[3].id), "favourite", uuidString(items[150].id)}).toJson());

    startAndWait();
    EXPECT_TRUE(log.contains("⚠️ Skipped 1 unreadable entry in clipboard_history.json"));
    EXPECT_TRUE(log.contains("⚠️ Skipped 1 unreadable entry in favorites.json"));
    const QList<ClipboardItem> stored = hybrid->loadItems(std::nullopt);
    EXPECT_EQ(stored.size(), 199);
    EXPECT_FALSE(std::any_of(stored.begin(), stored.end(), [&](const ClipboardItem &s) { return s.id == items[100].id; }));
    EXPECT_EQ(hybrid->loadFavoriteItems().size(), 2);
    EXPECT_TRUE(preferences.boolean(flag));
    for (const char *name : {"clipboard_history_backup.json", "favorites_backup.json"})
        EXPECT_TRUE(QFileInfo::exists(backup(name))) << name;
}

TEST_F(Installation, AnExistingBackupFailsTheBackupButNotTheMigration)
{
    writeLegacy(legacyItems(3), {});
    ASSERT_TRUE(QDir().mkpath(backup()));
    write(backup("clipboard_history_backup.json"), "older backup");

    startAndWait();
    EXPECT_EQ(log.count("⚠️ Failed to create JSON backup: "), 1);
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 3);
    EXPECT_EQ(readFile(backup("clipboard_history_backup.json")), "older backup");
}

TEST_F(Installation, ResetStaysResetAcrossARestart)
{
    writeLegacy(legacyItems(4), {});
    startAndWait();
    await(hybrid->saveItem(item(50, "captured after the import"))); // leaves an index save pending
    ASSERT_EQ(hybrid->loadItems(std::nullopt).size(), 5);

    log.clear();
    await(hybrid->resetAllData());
    EXPECT_TRUE(log.contains("🧹 Deleted all 5 clipboard items from Core Data")); // one transaction for all
    EXPECT_EQ(log.count("❌ "), 0);
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(indexEntries(), 0);

    startAndWait();
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(indexEntries(), 0);
}

// The import was recorded only in the settings: with the settings file deleted, every cleared
// legacy item came back at the next start.
TEST_F(Installation, ClearedLegacyItemsStayGoneWhenTheSettingsAreLost)
{
    writeLegacy(legacyItems(4), {});
    startAndWait();
    await(hybrid->resetAllData());
    preferences.remove(flag);
    startAndWait();
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty()) << "not imported again";
    EXPECT_EQ(log.count("🔄 Starting migration"), 1);
    EXPECT_TRUE(preferences.boolean(flag)) << "the lost record is written again";
}

// Installations imported before the store kept the record get it there at their next start.
TEST_F(Installation, AnImportRecordedOnlyInTheSettingsIsRecordedInTheStoreToo)
{
    writeLegacy(legacyItems(3), {});
    preferences.setBoolean(flag, true);
    startAndWait();
    EXPECT_TRUE(store->hasFlag(flag));
    preferences.remove(flag);
    startAndWait();
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(log.count("🔄 Starting migration"), 0);
}

// A clear while the legacy history is imported once let the import carry on and bring the
// cleared items back; it now stops the import, which counts as done.
TEST_F(Installation, AClearDuringTheImportStopsItForGood)
{
    writeLegacy(legacyItems(500), {});
    start();
    ASSERT_TRUE(waitFor([&] { return hybrid->migrationProgress() > 0.0; }, 20000));
    const QFuture<bool> reset = hybrid->resetAllData();
    ASSERT_TRUE(waitFor([&] { return reset.isFinished(); }));
    EXPECT_TRUE(reset.result());
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_EQ(log.count("ℹ️ Migration stopped: the history was cleared"), 1);
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    startAndWait();
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty()) << "not imported again";
}

// A large copy is written off the main thread, and is stored, searchable and indexed all the same.
TEST_F(Installation, LargeItemsAreStoredLikeSmallOnes)
{
    preferences.setBoolean(flag, true);
    startAndWait();
    ClipboardItem large = item(2, "needle");
    large.content = QString(700'000, QLatin1Char('x')) + QStringLiteral(" needle");
    large.preview = large.content.left(100);
    const QFuture<bool> saved = hybrid->saveItem(large);
    ASSERT_TRUE(waitFor([&] { return saved.isFinished(); }));
    EXPECT_TRUE(saved.result());
    EXPECT_EQ(hybrid->searchItems("needle").size(), 1);
    EXPECT_EQ(indexEntries(), 1);
}

TEST_F(Installation, ItemsCapturedBeforeACrashAreSearchableAfterTheRestart)
{
    preferences.setBoolean(flag, true);
    startAndWait();
    await(hybrid->saveItem(item(1, "saved normally before quitting")));

    // A crash: the store has the record, the index file never heard of it.
    start();
    store->createItem(item(2, "stored just before the crash"));
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }));
    await(hybrid->missingEntriesIndexed());
    EXPECT_EQ(indexEntries(), 2);
}

TEST_F(Installation, TheIndexIsComparedWithTheStoreOnlyOnceTheHistoryIsListed)
{
    // Comparing reads every stored id: beside the history's own read it slows the start.
    preferences.setBoolean(flag, true);
    startAndWait();
    hybrid.reset();
    vectors.reset();
    store.reset();
    store = std::make_unique<CoreDataManager>(dataDir.path(), [](const QString &) {});
    store->createItem(item(1, "stored just before the crash"));
    vectors = std::make_unique<VectorStoreManager>(embedder, documents.path());
    QPromise<void> listed;
    listed.start();
    hybrid = std::make_unique<HybridDataManager>(*store, *vectors, preferences, documents.path(), startDelay, nullptr,
                                                 listed.future());
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(hybrid->missingEntriesIndexed().isFinished());
    listed.finish();
    await(hybrid->missingEntriesIndexed());
    EXPECT_EQ(indexEntries(), 1);
}

TEST_F(Installation, AStoreThatCannotBeReadLeavesTheIndexAsItIs)
{
    // Compared with no ids at all, every entry would look orphaned and go.
    preferences.setBoolean(flag, true);
    startAndWait();
    await(hybrid->saveItem(item(1, "indexed while the store could be read")));
    hybrid.reset(); // the index is saved as it goes
    QTemporaryDir elsewhere;
    const QString notAFolder = elsewhere.filePath("not-a-folder");
    write(notAFolder, "a file where the store's folder should be");
    start(notAFolder);
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }));
    await(hybrid->missingEntriesIndexed());
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ The index was not compared with the store: its ids could not be read")));
    EXPECT_EQ(indexEntries(), 1);
}

TEST_F(Installation, AnImportTheStoreCouldNotSaveRunsAgainAtTheNextStart)
{
    writeLegacy(legacyItems(3), {});
    // A store that cannot be opened fails every write (the fatal handler returns in tests).
    QTemporaryDir other;
    write(other.filePath("store"), QByteArray());
    start(other.filePath("store"));
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));
    EXPECT_FALSE(preferences.boolean(flag));
    EXPECT_EQ(log.count("✅ Migration completed successfully"), 0);

    // With a working store the next start imports again.
    startAndWait();
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 3);
}

TEST_F(Installation, UpdatesAndDeletionsTheStoreRefusedFinishWithFalse)
{
    preferences.setBoolean(flag, true);
    startAndWait();
    ClipboardItem note = item(1, "meeting notes");
    await(hybrid->saveItem(note));
    SqliteDatabase(store->storePath(), false)
        .execute("CREATE TRIGGER refuseUpdates BEFORE UPDATE ON ClipboardItemEntity "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;"
                 "CREATE TRIGGER refuseDeletions BEFORE DELETE ON ClipboardItemEntity "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;");

    note.content = "edited notes";
    QFuture<bool> updated = hybrid->updateItem(note);
    await(updated);
    EXPECT_FALSE(updated.result());
    QFuture<bool> deleted = hybrid->deleteItem(note.id);
    await(deleted);
    EXPECT_FALSE(deleted.result());
    EXPECT_EQ(log.count("❌ Failed to update clipboard item: "), 1);
    EXPECT_EQ(log.count("❌ Failed to delete clipboard item: "), 1);
    const QList<ClipboardItem> stored = hybrid->loadItems(std::nullopt);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].content, "meeting notes");
}

TEST_F(Installation, ItemsReadTogetherShareEqualMetadataAndKeepTheirOwn)
{
    startAndWait();
    QList<ClipboardItem> items;
    for (int n = 1; n <= 4; ++n) {
        ClipboardItem one = item(n, QStringLiteral("note %1").arg(n));
        one.metadata = ClipboardMetadata{};
        one.metadata->sourceApp = n == 3 ? QStringLiteral("Terminal") : QStringLiteral("Firefox");
        items.append(one);
    }
    await(hybrid->saveItems(items));
    const QList<ClipboardItem> stored = hybrid->loadItems(std::nullopt);
    ASSERT_EQ(stored.size(), 4);
    const auto block = [&](int i) { return &*std::as_const(stored[i]).metadata; };
    // Newest first: 4, 3, 2, 1. The three from Firefox share one copy, the Terminal one has its own.
    EXPECT_EQ(block(0), block(2));
    EXPECT_EQ(block(0), block(3));
    EXPECT_NE(block(0), block(1));
    EXPECT_EQ(stored[1].metadata->sourceApp, QStringLiteral("Terminal"));
    EXPECT_EQ(stored[3].metadata->sourceApp, QStringLiteral("Firefox"));
}
