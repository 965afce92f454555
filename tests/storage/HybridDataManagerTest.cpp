#include "storage/HybridDataManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakeEmbedders.h"
#include "support/FakePreferences.h"
#include "support/WaitFor.h"

#include "model/Uuid.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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

ClipboardItem item(int n, const QString &content, bool favorite = false)
{
    ClipboardItem item;
    item.id = QUuid(QStringLiteral("10000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
    item.content = content;
    item.preview = content.left(30);
    item.timestamp = QDateTime::fromSecsSinceEpoch(1'700'000'000 + n, Qt::UTC);
    item.isFavorite = favorite;
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
    void start()
    {
        stop();
        store = std::make_unique<CoreDataManager>(dataDir.path(), [](const QString &) {});
        vectors = std::make_unique<VectorStoreManager>(embedder, documents.path());
        hybrid = std::make_unique<HybridDataManager>(*store, *vectors, preferences, documents.path(), 0ms);
    }

    void startAndWait()
    {
        start();
        ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));
        await(hybrid->missingEntriesIndexed());
    }

    void stop()
    {
        hybrid.reset();
        vectors.reset();
        store.reset();
    }

    void writeLegacy(const QList<ClipboardItem> &items, const QList<QUuid> &favorites)
    {
        QJsonArray history, ids;
        for (const ClipboardItem &item : items)
            history.append(item.toJson());
        for (const QUuid &id : favorites)
            ids.append(uuidString(id));
        write("clipboard_history.json", QJsonDocument(history).toJson());
        write("favorites.json", QJsonDocument(ids).toJson());
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(QDir(documents.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QString backupFolder() const { return QDir(documents.path()).filePath("json_backup"); }

    int indexEntries()
    {
        auto future = vectors->entries();
        EXPECT_TRUE(waitFor([&] { return future.isFinished(); }));
        return static_cast<int>(future.result().size());
    }

    QTemporaryDir documents, dataDir;
    HashingEmbedder embedder;
    FakePreferences preferences;
    DiagnosticsCapture log;
    std::unique_ptr<CoreDataManager> store;
    std::unique_ptr<VectorStoreManager> vectors;
    std::unique_ptr<HybridDataManager> hybrid;
};

} // namespace

TEST_F(Installation, FirstStartWithoutUsableLegacyFilesSetsTheFlagAndMakesNoBackup)
{
    write("clipboard_history.json", "[{\"id\": 1}"); // corrupt: nothing to import
    startAndWait();
    EXPECT_EQ(log.count("⚠️ No existing clipboard data found or failed to load: "), 1);
    const QStringList lines = log.lines();
    const auto at = [&](const QString &line) { return lines.indexOf(line); };
    EXPECT_LT(at("🚀 Initializing HybridDataManager..."), at("🔄 Starting migration from JSON to Core Data + Vector Store..."));
    EXPECT_LT(at("🔄 Starting migration from JSON to Core Data + Vector Store..."), at("ℹ️ No existing JSON data to migrate"));
    EXPECT_LT(at("ℹ️ No existing JSON data to migrate"), at("✅ HybridDataManager initialized successfully"));
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_TRUE(hybrid->hasMigratedFromJSON());
    EXPECT_FALSE(hybrid->isMigrating());
    EXPECT_EQ(hybrid->migrationProgress(), 1.0);
    EXPECT_FALSE(QFileInfo::exists(backupFolder()));
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
        if (line.startsWith("📦") || line.startsWith("📊") || line.startsWith("✅ JSON backup") || line.startsWith("✅ Migration")
            || line.startsWith("✅ Batch indexed") || line.startsWith("✅ HybridDataManager"))
            milestones.append(line);
    EXPECT_EQ(milestones, QStringList({"📦 Found 120 items to migrate",
                                       "✅ Batch indexed 49 items", "📊 Migration progress: 33%",
                                       "✅ Batch indexed 50 items", "📊 Migration progress: 66%",
                                       "✅ Batch indexed 20 items", "📊 Migration progress: 100%",
                                       "✅ JSON backup created at: " + backupFolder(),
                                       "✅ Migration completed successfully",
                                       "✅ HybridDataManager initialized successfully"}));
    ASSERT_EQ(progress.count(), 3);
    EXPECT_DOUBLE_EQ(progress[0][0].toDouble(), 1.0 / 3.0);
    EXPECT_EQ(progress[2][0].toDouble(), 1.0);
    ASSERT_EQ(migrating.count(), 2);
    EXPECT_TRUE(migrating[0][0].toBool());
    EXPECT_FALSE(migrating[1][0].toBool());
    EXPECT_TRUE(preferences.boolean(flag));

    // Completion waited for the store: every item is there as soon as start-up is done.
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 120);
    QSet<QUuid> favourites;
    for (const ClipboardItem &favourite : hybrid->loadFavoriteItems())
        favourites.insert(favourite.id);
    EXPECT_EQ(favourites, QSet<QUuid>({items[1].id, items[7].id}));
    EXPECT_EQ(indexEntries(), 119);

    for (const char *name : {"clipboard_history_backup.json", "favorites_backup.json"}) {
        const QString path = QDir(backupFolder()).filePath(name);
        EXPECT_TRUE(QFileInfo::exists(path)) << name;
        EXPECT_EQ(QFile::permissions(path) & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser);
    }
}

TEST_F(Installation, AnExistingBackupFailsTheBackupButNotTheMigration)
{
    writeLegacy(legacyItems(3), {});
    ASSERT_TRUE(QDir().mkpath(backupFolder()));
    QFile existing(QDir(backupFolder()).filePath("clipboard_history_backup.json"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("older backup");
    existing.close();

    startAndWait();
    EXPECT_EQ(log.count("⚠️ Failed to create JSON backup: "), 1);
    EXPECT_EQ(log.count("✅ JSON backup created at: "), 0);
    EXPECT_TRUE(log.contains("✅ Migration completed successfully"));
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 3);
    QFile kept(QDir(backupFolder()).filePath("clipboard_history_backup.json"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "older backup");
}

TEST_F(Installation, ResetStaysResetAcrossARestart)
{
    writeLegacy(legacyItems(4), {});
    startAndWait();
    await(hybrid->saveItem(item(50, "captured after the import")));
    ASSERT_EQ(hybrid->loadItems(std::nullopt).size(), 5);

    log.clear();
    await(hybrid->resetAllData());
    EXPECT_EQ(log.count("✅ Core Data context saved successfully"), 1); // one transaction for all
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(indexEntries(), 0);
    EXPECT_TRUE(log.contains("🧹 All data reset"));
    EXPECT_TRUE(preferences.boolean(flag));

    log.clear();
    startAndWait();
    EXPECT_EQ(log.count("🔄 Starting migration"), 0);
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(indexEntries(), 0);
}

TEST_F(Installation, SaveUpdateAndDeleteKeepStoreAndIndexInStep)
{
    preferences.setBoolean(flag, true);
    startAndWait();
    ClipboardItem first = item(1, "meeting notes for the quarterly review");
    await(hybrid->saveItem(first));
    await(hybrid->saveItem(first)); // already stored: indexed again all the same
    EXPECT_EQ(log.count("✅ Saved clipboard item: " + uuidString(first.id)), 2);
    EXPECT_EQ(log.count("⚠️ Clipboard item already exists: "), 1);
    EXPECT_EQ(vectors->indexedItemsCount(), 2);

    first.content = "grocery list with apples";
    first.isFavorite = true;
    first.metadata = ClipboardMetadata{};
    first.metadata->sourceApp = "Editor";
    await(hybrid->updateItem(first));
    const auto stored = hybrid->loadItems(1);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(std::tie(stored[0].content, stored[0].isFavorite, stored[0].metadata),
              std::tie(first.content, first.isFavorite, first.metadata));
    EXPECT_TRUE(log.contains("✅ Updated clipboard item: " + uuidString(first.id)));

    // An item without a record is still re-indexed; a delete of it still logs.
    const ClipboardItem ghost = item(2, "never stored but updated");
    await(hybrid->updateItem(ghost));
    EXPECT_TRUE(log.contains("✅ Updated clipboard item: " + uuidString(ghost.id)));
    EXPECT_EQ(indexEntries(), 2);
    await(hybrid->deleteItem(ghost.id));
    await(hybrid->deleteItem(first.id));
    EXPECT_TRUE(log.contains("✅ Deleted clipboard item: " + uuidString(ghost.id)));
    EXPECT_TRUE(hybrid->loadItems(std::nullopt).isEmpty());
    EXPECT_EQ(indexEntries(), 0);
}

TEST_F(Installation, ItemsCapturedBeforeACrashAreSearchableAfterTheRestart)
{
    preferences.setBoolean(flag, true);
    startAndWait();
    await(hybrid->saveItem(item(1, "saved normally before quitting")));
    stop(); // quitting writes the index

    // A crash: the store has the record, the index file never heard of it.
    start();
    store->createItem(item(2, "stored just before the crash"));
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }));
    await(hybrid->missingEntriesIndexed());
    EXPECT_TRUE(log.contains("🔄 Indexing 1 stored items missing from the vector index"));
    EXPECT_EQ(indexEntries(), 2);
}

TEST_F(Installation, AnImportTheStoreCouldNotSaveRunsAgainAtTheNextStart)
{
    writeLegacy(legacyItems(3), {});
    // A store that cannot be opened fails every write (the fatal handler returns in tests).
    QTemporaryDir other;
    QFile blocker(other.filePath("store"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    store = std::make_unique<CoreDataManager>(other.filePath("store"), [](const QString &) {});
    vectors = std::make_unique<VectorStoreManager>(embedder, documents.path());
    hybrid = std::make_unique<HybridDataManager>(*store, *vectors, preferences, documents.path(), 0ms);
    ASSERT_TRUE(waitFor([&] { return hybrid->isInitialized(); }, 20000));
    EXPECT_FALSE(preferences.boolean(flag));
    EXPECT_EQ(log.count("⚠️ Migration incomplete: "), 1);
    EXPECT_EQ(log.count("✅ Migration completed successfully"), 0);
    stop();

    // With a working store the next start imports again.
    startAndWait();
    EXPECT_TRUE(preferences.boolean(flag));
    EXPECT_EQ(hybrid->loadItems(std::nullopt).size(), 3);
}
