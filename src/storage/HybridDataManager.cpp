#include "HybridDataManager.h"
#include "core/BackgroundPool.h"

#include "JsonBackup.h"
#include "core/Async.h"
#include "core/Memory.h"

#include "model/Diagnostics.h"
#include "model/Uuid.h"

#include <QPointer>
#include <QPromise>
#include <QDir>
#include <QTimer>

#include <algorithm>
#include <array>

namespace snipbrook {

struct HybridDataManager::Migration {
    QList<QList<ClipboardItem>> chunks;
    qsizetype chunksStored = 0;
    bool storeFailed = false;
    QPromise<void> promise;
};

HybridDataManager::HybridDataManager(CoreDataManager &coreDataManager, VectorStoreManager &vectorStoreManager,
                                     Preferences &preferences, const QString &documentsDirectory,
                                     std::chrono::milliseconds startDelay, QObject *parent, QFuture<void> reconcileAfter)
    : QObject(parent),
      m_reconcileAfter(std::move(reconcileAfter)),
      m_coreDataManager(coreDataManager),
      m_vectorStoreManager(vectorStoreManager),
      m_preferences(preferences),
      m_legacyDataManager(documentsDirectory),
      m_documentsDirectory(documentsDirectory),
      m_hasMigratedFromJSON(preferences.boolean(QLatin1String(migrationKey)))
{
    m_initialized.start();
    QTimer::singleShot(0, this, [this, startDelay] {
        diag(QStringLiteral("🚀 Initializing HybridDataManager..."));
        readMigrationRecords();
        // The pause only gives a first start time to settle before importing the legacy files;
        // with nothing to import (already imported, or no files at all) the store is ready at once.
        if (m_hasMigratedFromJSON || !hasLegacyFiles())
            startUp();
        else
            QTimer::singleShot(startDelay, this, &HybridDataManager::startUp);
    });
}

HybridDataManager::~HybridDataManager() = default;

bool HybridDataManager::hasLegacyFiles() const
{
    const QDir documents(m_legacyDataManager.documentsPath);
    return documents.exists(m_legacyDataManager.clipboardDataFileName) ||
           documents.exists(m_legacyDataManager.favoritesFileName);
}

void HybridDataManager::startUp()
{
    if (m_hasMigratedFromJSON) {
        finishStartUp();
        return;
    }
    whenFinished(migrateFromJSON(), this, [this](const QFuture<void> &) { finishStartUp(); });
}

void HybridDataManager::finishStartUp()
{
    setIsInitialized(true);
    diag(QStringLiteral("✅ HybridDataManager initialized successfully"));
    // Entries lost with a crash before the index was saved come back from the store, and entries
    // of items deleted just before a crash go. Once the history is listed (reconcileAfter):
    // reading and comparing every id beside the history's load would hold it back by
    // milliseconds per thousand items, on the processor and on the heap.
    auto indexed = std::make_shared<QPromise<void>>();
    indexed->start();
    m_missingEntriesIndexed = indexed->future();
    whenFinished(m_reconcileAfter, this, [this, indexed](const QFuture<void> &) {
        const std::optional<QList<QUuid>> ids = m_coreDataManager.fetchAllIds();
        if (!ids) {
            // Compared with no ids at all, every entry would look orphaned.
            diag(QStringLiteral("⚠️ The index was not compared with the store: its ids could not be read"));
            indexed->finish();
            return;
        }
        const QFuture<void> reconciled = m_vectorStoreManager.reconcileWithStore(
            *ids, [this](const QList<QUuid> &orphans) { return items(m_coreDataManager.fetchItems(orphans)); });
        // The comparison's id sets are gone by now; so is the heap they and the index load used.
        whenFinished(reconciled, this, [indexed](const QFuture<void> &) {
            releaseFreedMemory();
            indexed->finish();
        });
    });
}

QList<ClipboardItem> HybridDataManager::items(const QList<ClipboardItemEntity> &records)
{
    QList<ClipboardItem> list;
    list.reserve(records.size());
    // Items copied from one program in a row carry the same metadata (the program, its process):
    // those share one copy of it, found among the few last seen.
    constexpr std::size_t recentCount = 8;
    std::array<SharedOptional<ClipboardMetadata>, recentCount> recent;
    std::size_t next = 0;
    for (const ClipboardItemEntity &record : records) {
        ClipboardItem item = CoreDataManager::makeClipboardItem(record);
        if (item.metadata) {
            const auto same = std::find_if(recent.cbegin(), recent.cend(),
                                           [&](const auto &seen) { return seen && *seen == *std::as_const(item).metadata; });
            if (same != recent.cend())
                item.metadata = *same;
            else
                recent[next++ % recentCount] = item.metadata;
        }
        list.append(std::move(item));
    }
    return list;
}

QList<ClipboardItem> HybridDataManager::loadItems(std::optional<int> limit)
{
    return items(m_coreDataManager.fetchHistoryItems(limit.value_or(0)));
}

QList<ClipboardItem> HybridDataManager::searchItems(const QString &query)
{
    return items(m_coreDataManager.searchItems(query));
}

QList<ClipboardItem> HybridDataManager::loadFavoriteItems() { return items(m_coreDataManager.fetchFavoriteItems()); }

std::optional<ClipboardItem> HybridDataManager::loadItem(const QUuid &id)
{
    const std::optional<ClipboardItemEntity> record = m_coreDataManager.fetchItemEntity(id);
    if (!record)
        return std::nullopt;
    return CoreDataManager::makeClipboardItem(*record);
}

QFuture<std::optional<ClipboardItem>> HybridDataManager::loadStoredContent(const ClipboardItem &item)
{
    return m_coreDataManager.fetchStoredContent(item);
}

QFuture<BatchInsertResult> HybridDataManager::insertInBackground(const QList<ClipboardItem> &items)
{
    auto promise = std::make_shared<QPromise<BatchInsertResult>>();
    promise->start();
    m_coreDataManager.batchInsertItems(items, [promise](const BatchInsertResult &result) {
        promise->addResult(result);
        promise->finish();
    });
    return promise->future();
}

QFuture<bool> HybridDataManager::saveItem(const ClipboardItem &item)
{
    const QString id = uuidString(item.id);
    const auto indexOnceStored = [this, item, id](bool stored) {
        if (!stored) {
            diag(QStringLiteral("❌ Failed to save clipboard item: ") + id);
            return QtFuture::makeReadyFuture(false);
        }
        return thenOn(this, m_vectorStoreManager.addItem(item), [id] {
            diag(QStringLiteral("✅ Saved clipboard item: ") + id);
            return true;
        });
    };
    // Writing (and folding for search) a large item would hold the main thread: it goes through
    // the store's background connection instead.
    constexpr qsizetype largeItem = 512 * 1024;
    if (item.content.size() > largeItem)
        return thenOn(this, insertInBackground({item}),
                      [indexOnceStored](const BatchInsertResult &result) { return indexOnceStored(result.saved); });
    return indexOnceStored(m_coreDataManager.createItem(item));
}

QFuture<BatchInsertResult> HybridDataManager::saveItems(const QList<ClipboardItem> &items)
{
    return thenOn(this, insertInBackground(items), [this, items](const BatchInsertResult &result) {
        // One batch for all of them, and one save of the index file at its end.
        if (result.saved && result.inserted > 0)
            m_vectorStoreManager.addItems(items);
        return result;
    });
}

QFuture<bool> HybridDataManager::updateItem(const ClipboardItem &item)
{
    std::optional<ClipboardItemEntity> record = m_coreDataManager.fetchItemEntity(item.id);
    bool stored = false;
    if (record) {
        if (!item.isContentInStore()) {
            record->content = item.content;
            record->preview = item.preview;
        }
        record->isFavorite = item.isFavorite;
        record->type = rawValue(item.type);
        record->timestamp = item.timestamp;
        // Without metadata on the item, the stored metadata stays as it is.
        if (item.metadata)
            record->metadata = metadataEntityFrom(*item.metadata);
        m_coreDataManager.updateItemEntity(*record);
        stored = m_coreDataManager.saveContext();
    }
    const QString id = uuidString(item.id);
    const QFuture<void> reindexed =
        thenOn(this, m_vectorStoreManager.removeItem(item.id), [this, item] { return m_vectorStoreManager.addItem(item); });
    return thenOn(this, reindexed, [id, stored] {
        diag(stored ? QStringLiteral("✅ Updated clipboard item: ") + id
                    : QStringLiteral("❌ Failed to update clipboard item: ") + id);
        return stored;
    });
}

QFuture<bool> HybridDataManager::deleteItem(const QUuid &id)
{
    bool deleted = true; // an item that is not stored is deleted already
    if (const auto record = m_coreDataManager.fetchItemEntity(id))
        deleted = m_coreDataManager.deleteItemEntity(*record);
    return thenOn(this, m_vectorStoreManager.removeItem(id), [text = uuidString(id), deleted] {
        diag(deleted ? QStringLiteral("✅ Deleted clipboard item: ") + text
                     : QStringLiteral("❌ Failed to delete clipboard item: ") + text);
        return deleted;
    });
}

QFuture<bool> HybridDataManager::resetAllData()
{
    // A running import stops here: what it has not stored yet must not bring history back.
    if (m_isMigrating)
        m_migrationCancelled = true;
    const bool deleted = m_coreDataManager.deleteAllItems();
    return thenOn(this, m_vectorStoreManager.clearIndex(), [this, deleted] {
        // The user was told the deletion is permanent: the legacy files must not return.
        setMigrated();
        diag(QStringLiteral("🧹 All data reset"));
        return deleted;
    });
}

QFuture<QList<QUuid>> HybridDataManager::deleteItemsOlderThan(const QDateTime &cutoff)
{
    const QList<QUuid> removed = m_coreDataManager.deleteItemsOlderThan(cutoff).value_or(QList<QUuid>{});
    QList<QFuture<void>> removals;
    for (const QUuid &id : removed)
        removals.append(m_vectorStoreManager.removeItem(id));
    auto promise = std::make_shared<QPromise<QList<QUuid>>>();
    promise->start();
    whenAllFinished(removals, this, [promise, removed] {
        if (!removed.isEmpty())
            diag(QStringLiteral("🧹 Removed %1 clipboard items older than the clean-up interval").arg(removed.size()));
        promise->addResult(removed);
        promise->finish();
    });
    return promise->future();
}

QFuture<void> HybridDataManager::createJSONBackup()
{
    return runOnPool(backgroundPool(), [folder = m_documentsDirectory] { createJsonBackup(folder); });
}

QFuture<void> HybridDataManager::migrateFromJSON()
{
    diag(QStringLiteral("🔄 Starting migration from JSON to Core Data + Vector Store..."));
    setIsMigrating(true);
    setMigrationProgress(0.0);

    QList<ClipboardItem> legacyItems = m_legacyDataManager.loadLegacyItems();
    const QSet<QUuid> favorites = m_legacyDataManager.loadLegacyFavorites();
    if (legacyItems.isEmpty()) {
        diag(QStringLiteral("ℹ️ No existing JSON data to migrate"));
        setMigrated();
        setIsMigrating(false);
        setMigrationProgress(1.0);
        return QtFuture::makeReadyFuture();
    }
    diag(QStringLiteral("📦 Found %1 items to migrate").arg(legacyItems.size()));

    // The favourites file decides; the flag inside the history file is ignored.
    for (ClipboardItem &item : legacyItems)
        item.isFavorite = favorites.contains(item.id);

    auto migration = std::make_shared<Migration>();
    for (qsizetype at = 0; at < legacyItems.size(); at += migrationChunkSize)
        migration->chunks.append(legacyItems.mid(at, migrationChunkSize));
    migration->promise.start();
    QFuture<void> done = migration->promise.future();
    migrateNextChunk(migration);
    return done;
}

// The chunks are stored one after another; nothing is embedded during the import. Once it is
// done, start-up's reconciliation indexes every imported item in one background batch, which
// writes the index file once at its end, and the history lists the items meanwhile.
void HybridDataManager::migrateNextChunk(const std::shared_ptr<Migration> &migration)
{
    const qsizetype count = migration->chunks.size();
    if (migration->chunksStored == count || m_migrationCancelled) {
        completeMigration(migration);
        return;
    }
    const QList<ClipboardItem> chunk = migration->chunks.at(migration->chunksStored);
    m_coreDataManager.batchInsertItems(chunk, [self = QPointer(this), migration, count](const BatchInsertResult &result) {
        if (!self)
            return;
        migration->storeFailed |= !result.saved;
        if (self->m_migrationCancelled && result.inserted > 0) {
            // Stored while the history was being cleared: it goes too.
            QList<QUuid> ids;
            for (const ClipboardItem &item : migration->chunks.at(migration->chunksStored))
                ids.append(item.id);
            self->m_coreDataManager.deleteItemEntities(self->m_coreDataManager.fetchItems(ids));
        }
        migration->chunks[migration->chunksStored] = {}; // stored: its copy is no longer needed
        const qsizetype done = ++migration->chunksStored;
        self->setMigrationProgress(double(done) / double(count));
        diag(QStringLiteral("📊 Migration progress: %1%").arg(done * 100 / count));
        self->migrateNextChunk(migration);
    });
}

void HybridDataManager::completeMigration(const std::shared_ptr<Migration> &migration)
{
    // Completion waits for the store's chunks too, so the history's first load sees every item.
    whenFinished(createJSONBackup(), this, [this, migration](const QFuture<void> &) {
        if (m_migrationCancelled) {
            diag(QStringLiteral("ℹ️ Migration stopped: the history was cleared"));
            setMigrated();
        } else if (migration->storeFailed) {
            diag(QStringLiteral("⚠️ Migration incomplete: some items could not be stored; it will run again at the next start"));
        } else {
            setMigrated();
        }
        setIsMigrating(false);
        setMigrationProgress(1.0);
        if (!migration->storeFailed && !m_migrationCancelled)
            diag(QStringLiteral("✅ Migration completed successfully"));
        migration->chunks.clear();
        releaseFreedMemory();
        migration->promise.finish();
    });
}

// The settings file and the store can each be lost on its own (a deleted settings file, a damaged
// store set aside): either record counts, and the lost one is written again.
void HybridDataManager::readMigrationRecords()
{
    const bool inSettings = m_preferences.boolean(QLatin1String(migrationKey));
    const bool inStore = m_coreDataManager.hasFlag(QLatin1String(migrationKey));
    if (inSettings && inStore)
        m_hasMigratedFromJSON = true;
    else if (inSettings || inStore)
        setMigrated();
}

void HybridDataManager::setMigrated()
{
    m_preferences.setBoolean(QLatin1String(migrationKey), true);
    m_coreDataManager.setFlag(QLatin1String(migrationKey));
    m_hasMigratedFromJSON = true;
}

void HybridDataManager::setIsInitialized(bool value)
{
    if (m_isInitialized == value)
        return;
    m_isInitialized = value;
    emit isInitializedChanged(value);
    if (value)
        m_initialized.finish();
}

void HybridDataManager::setIsMigrating(bool value)
{
    if (m_isMigrating == value)
        return;
    m_isMigrating = value;
    emit isMigratingChanged(value);
}

void HybridDataManager::setMigrationProgress(double value)
{
    if (m_migrationProgress == value)
        return;
    m_migrationProgress = value;
    emit migrationProgressChanged(value);
}

} // namespace snipbrook
