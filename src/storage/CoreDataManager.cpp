#include "CoreDataManager.h"

#include "core/Async.h"

#include "ItemRecords.h"
#include "ItemStoreFiles.h"
#include "ItemStoreSchema.h"
#include "Sqlite.h"

#include "model/Diagnostics.h"
#include "model/UnicodeText.h"
#include "model/Uuid.h"

#include <QDir>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace snipbrook {
namespace {

// The library's own automatic checkpoint size (in pages), now done off the main thread.
constexpr int checkpointFrames = 1000;

QString errorText(const std::exception &error) { return QString::fromUtf8(error.what()); }

// Runs a read and turns any failure into the operation's log line and its fallback.
template <typename Result, typename Work>
Result readOrLog(const QString &failurePrefix, Work work)
{
    try {
        return work();
    } catch (const std::exception &error) {
        diag(failurePrefix + errorText(error));
        return Result{};
    }
}

} // namespace

CoreDataManager::CoreDataManager(const QString &dataDirectory, FatalErrorHandler onFatalError, QObject *parent)
    : QObject(parent),
      m_dataDirectory(dataDirectory),
      m_storePath(QDir(dataDirectory).filePath(itemStoreFileName)),
      m_onFatalError(onFatalError ? std::move(onFatalError) : FatalErrorHandler(exitWithMessage))
{
    m_batchPool.setMaxThreadCount(1);
}

CoreDataManager::~CoreDataManager()
{
    // A running batch uses the background connection; let it finish before closing anything.
    m_batchPool.waitForDone();
    m_backgroundDatabase.reset();
    m_database.reset();
}

void CoreDataManager::exitWithMessage(const QString &message)
{
    const QByteArray text = message.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
    std::fflush(stdout);
    // No static destructors or pool shutdown: the program is in no state to run them, and the
    // store itself is safe against an abrupt end.
    std::_Exit(EXIT_FAILURE);
}

// ---- Opening

void CoreDataManager::openStore()
{
    QString description;
    QString details = QStringLiteral("{file: ") + m_storePath;
    try {
        m_database = openCheckedConnection();
        m_database->onWalCommit([this](int frames) {
            if (frames >= checkpointFrames)
                scheduleCheckpoint();
        });
        m_state = StoreState::open;
        m_opened = true;
        diag(QStringLiteral("✅ Core Data stack initialized successfully"));
        return;
    } catch (const ForeignItemStoreError &error) {
        // Not ours to change or to end the program over: the store just stays out of use.
        m_state = StoreState::failed;
        {
            std::lock_guard lock(m_healthMutex);
            m_unavailableReason = error.message();
        }
        diag(QStringLiteral("❌ The item store cannot be used, nothing will be stored: ") + error.message());
        return;
    } catch (const SqliteError &error) {
        description = error.message();
        details += QStringLiteral(", sqlite code: ") + QString::number(error.code());
    }
    details += QLatin1Char('}');
    m_state = StoreState::failed;
    description = QStringLiteral("The item store could not be opened: ") + description;
    {
        std::lock_guard lock(m_healthMutex);
        m_unavailableReason = description;
    }
    diag(QStringLiteral("❌ Core Data error: ") + description + QStringLiteral(", ") + details);
    m_onFatalError(QStringLiteral("Unresolved error ") + description + QStringLiteral(", ") + details);
}

std::unique_ptr<SqliteDatabase> CoreDataManager::openCheckedConnection()
{
    // A second round only follows a damaged store set aside, and opens a new file.
    for (int round = 0;; ++round) {
        if (const auto fileError = prepareItemStoreFiles(m_dataDirectory, m_storePath))
            throw SqliteError(SQLITE_CANTOPEN, *fileError);
        auto db = std::make_unique<SqliteDatabase>(m_storePath, true);
        std::optional<QString> damage;
        try {
            // Checked before anything is written, so that a damaged file is kept as it was found
            // and someone else's file is left as it is.
            damage = findItemStoreDamage(*db);
            if (!damage) {
                rejectForeignItemStore(*db);
                configureItemStoreConnection(*db);
                upgradeItemStoreSchema(*db);
                return db;
            }
        } catch (const SqliteError &error) {
            if (!error.isDamage())
                throw;
            damage = error.message();
        }
        if (round > 0)
            throw SqliteError(SQLITE_CORRUPT, QStringLiteral("the new store is damaged too: ") + *damage);
        db->keepLogOnClose();
        db.reset();
        const SetAsideResult setAside = setDamagedItemStoreAside(m_storePath);
        if (!setAside.keptAs)
            throw SqliteError(SQLITE_CORRUPT, QStringLiteral("the store is damaged (") + *damage +
                                                  QStringLiteral(") and could not be kept aside: ") + setAside.error);
        {
            std::lock_guard lock(m_healthMutex);
            m_setAsidePath = setAside.keptAs;
        }
        diag(QStringLiteral("⚠️ The item store was damaged (") + *damage + QStringLiteral("); kept it as ") +
             *setAside.keptAs + QStringLiteral(" and started a new one"));
    }
}

SqliteDatabase &CoreDataManager::database()
{
    if (m_state == StoreState::closed)
        openStore();
    if (m_state != StoreState::open)
        throwUnavailable();
    return *m_database;
}

void CoreDataManager::throwUnavailable() const
{
    std::lock_guard lock(m_healthMutex);
    throw SqliteError(SQLITE_CANTOPEN, m_unavailableReason.isEmpty()
                                           ? QStringLiteral("The item store is not available: ") + m_storePath
                                           : m_unavailableReason);
}

// ---- Health

std::optional<QString> CoreDataManager::setAsideDamagedStore() const
{
    std::lock_guard lock(m_healthMutex);
    return m_setAsidePath;
}

QString CoreDataManager::healthText(const QString &workingState) const
{
    std::lock_guard lock(m_healthMutex);
    const QString failure = !m_unavailableReason.isEmpty() ? m_unavailableReason : m_lastWriteFailure;
    QStringList notes;
    if (!failure.isEmpty())
        notes.append(failure);
    if (m_setAsidePath)
        notes.append(QStringLiteral("a damaged store was kept as ") + *m_setAsidePath);
    QString text = failure.isEmpty() ? workingState : QStringLiteral("failing");
    if (!notes.isEmpty())
        text += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
    return text;
}

void CoreDataManager::noteWriteFailure(const std::exception &error)
{
    std::lock_guard lock(m_healthMutex);
    m_lastWriteFailure = errorText(error);
}

void CoreDataManager::noteWriteSuccess()
{
    std::lock_guard lock(m_healthMutex);
    m_lastWriteFailure.clear();
}

// ---- Writing

bool CoreDataManager::createItem(const ClipboardItem &item)
{
    return onOwnerThread([&] {
        try {
            SqliteDatabase &db = database();
            // The check and the insert share one write transaction, so a batch cannot slip the
            // same id in between.
            SqliteTransaction transaction(db);
            if (itemRecords::find(db, item.id)) {
                diag(QStringLiteral("⚠️ Clipboard item already exists: ") + uuidString(item.id));
                noteWriteSuccess();
                return true;
            }
            itemRecords::insertUnlessStored(db, itemEntityFrom(item));
            transaction.commit();
        } catch (const std::exception &error) {
            diag(QStringLiteral("❌ Failed to create clipboard item: ") + errorText(error));
            noteWriteFailure(error);
            return false;
        }
        noteWriteSuccess();
        diag(QStringLiteral("✅ Created and saved clipboard item: ") + uuidString(item.id));
        return true;
    });
}

bool CoreDataManager::openForBackgroundWork()
{
    // The background connection needs the tables, so the store is opened (once) first. Once it is
    // open, the owner thread is not asked again: it may be busy with other start-up work.
    return m_opened || onOwnerThread([this] {
        if (m_state == StoreState::closed)
            openStore();
        return m_state == StoreState::open;
    });
}

void CoreDataManager::batchInsertItems(const QList<ClipboardItem> &items, BatchCompletion onFinished)
{
    const bool storeReady = openForBackgroundWork();
    m_batchPool.start([this, items, onFinished = std::move(onFinished), storeReady] {
        BatchInsertResult result;
        try {
            if (!storeReady)
                throwUnavailable();
            result = insertBatch(items);
            noteWriteSuccess();
        } catch (const std::exception &error) {
            result = {};
            diag(QStringLiteral("❌ Failed to batch insert clipboard items: ") + errorText(error));
            noteWriteFailure(error);
        }
        if (onFinished)
            QMetaObject::invokeMethod(this, [onFinished, result] { onFinished(result); }, Qt::QueuedConnection);
    });
}

SqliteDatabase &CoreDataManager::backgroundDatabase()
{
    if (!m_backgroundDatabase) {
        auto db = std::make_unique<SqliteDatabase>(m_storePath, false);
        configureItemStoreConnection(*db);
        m_backgroundDatabase = std::move(db);
    }
    return *m_backgroundDatabase;
}

void CoreDataManager::scheduleCheckpoint()
{
    if (m_checkpointPending.exchange(true))
        return;
    m_batchPool.start([this] {
        try {
            backgroundDatabase().execute("PRAGMA wal_checkpoint(PASSIVE)");
        } catch (const std::exception &error) {
            diag(QStringLiteral("⚠️ Failed to checkpoint the item store: ") + errorText(error));
        }
        m_checkpointPending = false;
    });
}

BatchInsertResult CoreDataManager::insertBatch(const QList<ClipboardItem> &items)
{
    BatchInsertResult result;
    result.saved = true;
    if (items.isEmpty())
        return result;
    SqliteDatabase &db = backgroundDatabase();
    SqliteTransaction transaction(db);
    for (const ClipboardItem &item : items) {
        if (itemRecords::insertUnlessStored(db, itemEntityFrom(item)))
            ++result.inserted;
        else
            ++result.skipped;
    }
    if (result.inserted > 0) {
        transaction.commit();
        diag(QStringLiteral("✅ Batch inserted ") + QString::number(result.inserted) + QStringLiteral(" clipboard items"));
    }
    if (result.skipped > 0)
        diag(QStringLiteral("⚠️ Skipped clipboard items already stored: ") + QString::number(result.skipped));
    return result;
}

void CoreDataManager::updateItemEntity(const ClipboardItemEntity &record)
{
    onOwnerThread([&] {
        if (record.recordId > 0 && !m_pendingDeletions.count(record.recordId))
            m_pendingUpdates[record.recordId] = record;
    });
}

bool CoreDataManager::deleteItemEntity(const ClipboardItemEntity &record) { return deleteItemEntities({record}); }

bool CoreDataManager::deleteItemEntities(const QList<ClipboardItemEntity> &records)
{
    return onOwnerThread([&] {
        for (const ClipboardItemEntity &record : records) {
            if (record.recordId > 0) {
                m_pendingUpdates.erase(record.recordId);
                m_pendingDeletions.insert(record.recordId);
            }
        }
        return saveContext();
    });
}

std::optional<QList<QUuid>> CoreDataManager::deleteItemsOlderThan(const QDateTime &cutoff)
{
    std::optional<QList<QUuid>> removed = onOwnerThread([this, &cutoff]() -> std::optional<QList<QUuid>> {
        try {
            SqliteDatabase &db = database();
            SqliteTransaction transaction(db);
            QList<QUuid> ids = itemRecords::removeOlderThan(db, cutoff);
            transaction.commit();
            noteWriteSuccess();
            return ids;
        } catch (const std::exception &error) {
            diag(QStringLiteral("❌ Failed to delete old clipboard items: ") + errorText(error));
            noteWriteFailure(error);
            return std::nullopt;
        }
    });
    if (removed && !removed->isEmpty())
        compactIfMostlyFree();
    return removed;
}

void CoreDataManager::compactIfMostlyFree()
{
    m_batchPool.start([this] {
        try {
            SqliteDatabase &db = backgroundDatabase();
            const qint64 pages = db.queryInteger("PRAGMA page_count");
            const qint64 free = db.queryInteger("PRAGMA freelist_count");
            // A quarter of the file and a megabyte at least: small gaps are reused by the next copies.
            const qint64 pageSize = db.queryInteger("PRAGMA page_size");
            if (free * 4 < pages || free * pageSize < (1 << 20))
                return;
            db.execute("VACUUM");
            db.execute("PRAGMA wal_checkpoint(TRUNCATE)");
            diag(QStringLiteral("🧹 Compacted the item store: %1 free pages returned").arg(free));
        } catch (const std::exception &error) {
            diag(QStringLiteral("⚠️ Failed to compact the item store: ") + errorText(error));
        }
    });
}

bool CoreDataManager::deleteAllItems()
{
    return onOwnerThread([this] {
        m_pendingUpdates.clear();
        m_pendingDeletions.clear();
        qint64 deleted = 0;
        try {
            SqliteDatabase &db = database();
            SqliteTransaction transaction(db);
            deleted = itemRecords::removeAll(db);
            transaction.commit();
        } catch (const std::exception &error) {
            diag(QStringLiteral("❌ Failed to delete all clipboard items: ") + errorText(error));
            noteWriteFailure(error);
            return false;
        }
        diag(QStringLiteral("🧹 Deleted all %1 clipboard items from Core Data").arg(deleted));
        // The log still holds the inserts of the deleted records. It is emptied on the background
        // connection, after any checkpoint already running there (two at once would refuse each
        // other as "locked"); the deletion waits for it.
        const QFuture<std::optional<QString>> emptied = runOnPool(m_batchPool, [this]() -> std::optional<QString> {
            try {
                backgroundDatabase().checkpointAndTruncateLog();
                return std::nullopt;
            } catch (const std::exception &error) {
                return errorText(error);
            }
        });
        if (const std::optional<QString> error = emptied.result()) {
            diag(QStringLiteral("❌ Failed to empty the item store's log, deleted items stay in it until the next "
                                "checkpoint: ") + *error);
            noteWriteFailure(std::runtime_error(error->toStdString()));
            return false;
        }
        noteWriteSuccess();
        compactIfMostlyFree();
        return true;
    });
}

bool CoreDataManager::hasChanges()
{
    return onOwnerThread([this] { return !m_pendingUpdates.empty() || !m_pendingDeletions.empty(); });
}

bool CoreDataManager::saveContext()
{
    return onOwnerThread([this] {
        if (m_pendingUpdates.empty() && m_pendingDeletions.empty())
            return true;
        const auto updates = std::exchange(m_pendingUpdates, {});
        const auto deletions = std::exchange(m_pendingDeletions, {});
        try {
            SqliteDatabase &db = database();
            SqliteTransaction transaction(db);
            for (const qint64 recordId : deletions)
                itemRecords::remove(db, recordId);
            for (const auto &[recordId, record] : updates)
                itemRecords::update(db, record);
            transaction.commit();
        } catch (const std::exception &error) {
            diag(QStringLiteral("❌ Failed to save Core Data context: ") + errorText(error));
            noteWriteFailure(error);
            return false;
        }
        noteWriteSuccess();
        diag(QStringLiteral("✅ Core Data context saved successfully"));
        return true;
    });
}

// ---- Reading

QList<ClipboardItemEntity> CoreDataManager::fetchAllItems()
{
    return onOwnerThread([this] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch clipboard items: "), [this] {
            auto records = itemRecords::newest(database(), 0);
            diag(QStringLiteral("✅ Fetched ") + QString::number(records.size()) +
                 QStringLiteral(" clipboard items from Core Data"));
            return records;
        });
    });
}

QList<ClipboardItemEntity> CoreDataManager::fetchRecentItems(int limit)
{
    return onOwnerThread([this, limit] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch limited clipboard items: "),
                                                     [this, limit] { return itemRecords::newest(database(), limit); });
    });
}

std::optional<ClipboardItemEntity> CoreDataManager::fetchItemEntity(const QUuid &id)
{
    return onOwnerThread([this, &id] {
        return readOrLog<std::optional<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch clipboard item by ID: "),
                                                             [this, &id] { return itemRecords::find(database(), id); });
    });
}

QList<ClipboardItemEntity> CoreDataManager::fetchHistoryItems(int limit)
{
    const bool storeReady = openForBackgroundWork();
    const QFuture<QList<ClipboardItemEntity>> read = runOnPool(m_batchPool, [this, limit, storeReady] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch limited clipboard items: "), [&] {
            if (!storeReady)
                throwUnavailable();
            QList<ClipboardItemEntity> items = itemRecords::newestForHistory(backgroundDatabase(), limit);
            // The pages read for the history are not read again soon: no need to keep them.
            backgroundDatabase().releaseCache();
            return items;
        });
    });
    return read.result();
}

QFuture<std::optional<ClipboardItem>> CoreDataManager::fetchStoredContent(const ClipboardItem &item)
{
    return runOnPool(m_batchPool, [this, item]() -> std::optional<ClipboardItem> {
        const QString id = uuidString(item.id);
        const auto record = readOrLog<std::optional<ClipboardItemEntity>>(
            QStringLiteral("❌ Failed to read the stored data of clipboard item ") + id + QStringLiteral(": "), [&] {
                if (!m_opened)
                    throwUnavailable();
                return itemRecords::find(backgroundDatabase(), item.id);
            });
        if (!record || !record->content || !record->preview) {
            if (!record)
                diag(QStringLiteral("❌ The stored data of clipboard item ") + id + QStringLiteral(" is missing"));
            else
                diag(QStringLiteral("❌ The stored record of clipboard item ") + id + QStringLiteral(" has no content"));
            return std::nullopt;
        }
        ClipboardItem full = item;
        full.content = *record->content;
        full.preview = *record->preview;
        full.storedContentDigest.clear();
        return full;
    });
}

QList<ClipboardItemEntity> CoreDataManager::searchItems(const QString &query)
{
    // Folded on the caller's thread: only the lookup needs the main connection.
    const QString folded = foldCaseAndDiacritics(query);
    if (folded.isEmpty())
        return {};
    return onOwnerThread([this, &folded] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to search clipboard items: "),
                                                     [this, &folded] { return itemRecords::containing(database(), folded); });
    });
}

QList<ClipboardItemEntity> CoreDataManager::fetchFavoriteItems()
{
    return onOwnerThread([this] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch favorite items: "),
                                                     [this] { return itemRecords::favorites(database()); });
    });
}

std::optional<QList<QUuid>> CoreDataManager::fetchAllIds()
{
    return onOwnerThread([this] {
        return readOrLog<std::optional<QList<QUuid>>>(QStringLiteral("❌ Failed to fetch clipboard item ids: "),
                                                      [this] { return std::optional(itemRecords::ids(database())); });
    });
}

QList<ClipboardItemEntity> CoreDataManager::fetchItems(const QList<QUuid> &ids)
{
    return onOwnerThread([this, &ids] {
        return readOrLog<QList<ClipboardItemEntity>>(QStringLiteral("❌ Failed to fetch clipboard items by ID: "),
                                                     [this, &ids] { return itemRecords::withIds(database(), ids); });
    });
}

// ---- Conversion

bool CoreDataManager::hasFlag(const QString &name)
{
    return onOwnerThread([&] {
        return readOrLog<bool>(QStringLiteral("❌ Failed to read the store flag ") + name + QStringLiteral(": "), [&] {
            auto statement = database().query("SELECT 1 FROM StoreFlags WHERE name = ?1");
            statement->bind(1, name);
            return statement->step();
        });
    });
}

bool CoreDataManager::setFlag(const QString &name)
{
    return onOwnerThread([&] {
        try {
            auto statement = database().query("INSERT OR IGNORE INTO StoreFlags (name) VALUES (?1)");
            statement->bind(1, name);
            statement->run();
        } catch (const std::exception &error) {
            diag(QStringLiteral("❌ Failed to store the store flag ") + name + QStringLiteral(": ") + errorText(error));
            noteWriteFailure(error);
            return false;
        }
        noteWriteSuccess();
        return true;
    });
}

ClipboardItem CoreDataManager::makeClipboardItem(const ClipboardItemEntity &record)
{
    ClipboardItem item;
    if (!record.id || !record.content || !record.preview || !record.timestamp || !record.type) {
        diag(QStringLiteral("⚠️ ClipboardItemEntity has missing required fields, using defaults"));
        // A fresh id, so the placeholder can never be taken for (or delete) a stored record.
        item.id = QUuid::createUuid();
        item.preview = QStringLiteral("Invalid item");
        item.timestamp = QDateTime::currentDateTime();
        return item;
    }
    item.id = *record.id;
    item.type = clipboardItemTypeFromRaw(*record.type).value_or(ClipboardItemType::text);
    item.content = *record.content;
    item.preview = *record.preview;
    item.storedContentDigest = record.contentDigest;
    item.timestamp = *record.timestamp;
    if (record.metadata)
        item.metadata = metadataFrom(*record.metadata);
    item.isFavorite = record.isFavorite;
    return item;
}

} // namespace snipbrook
