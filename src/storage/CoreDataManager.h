#pragma once

#include "ClipboardEntities.h"

#include "core/HistoryStorage.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <type_traits>

namespace snipbrook {

class SqliteDatabase;

// The item store: one SQLite file ("Snipbrook.sqlite" in the data folder given) holding a record
// per history item and an optional metadata record. The file is opened on the first operation.
//
// Every operation except batchInsertItems runs on the main connection, on the thread that owns
// this object; a caller on another thread blocks until the owner's event loop has run it (so the
// owner must not itself be waiting for that caller). batchInsertItems writes through a second
// connection on a background thread.
//
// Opening checks the file (SQLite's quick check). A damaged store is not written to: it is kept
// aside as "Snipbrook.sqlite.damaged-<time>" (with its -wal and -shm files), the move is logged,
// and a new store starts in its place. A store that cannot be opened otherwise (no access, a
// newer schema version) is fatal: the failure is logged and the fatal-error handler gets a
// message naming the file. The default handler prints it and ends the process; if a handler
// returns (tests do), every operation then fails and logs as its fetch or save would. A file
// whose tables someone else made is not fatal but never used: every operation fails and logs.
class CoreDataManager : public QObject {
    Q_OBJECT

public:
    using FatalErrorHandler = std::function<void(const QString &message)>;
    using BatchCompletion = std::function<void(const BatchInsertResult &)>;

    explicit CoreDataManager(const QString &dataDirectory, FatalErrorHandler onFatalError = exitWithMessage,
                             QObject *parent = nullptr);
    ~CoreDataManager() override;

    QString storePath() const { return m_storePath; }

    // Where a damaged store found at opening was kept; nothing when none was.
    std::optional<QString> setAsideDamagedStore() const;
    // The storage state for status: "failing (<cause>)" while the store cannot be used or its last
    // write failed (until a write succeeds), otherwise workingState; either with a note of a
    // damaged store kept aside. Safe on any thread.
    QString healthText(const QString &workingState) const;

    // Inserts the item unless its id is stored already (then it logs that, changes nothing and
    // still succeeds). False only when writing failed.
    bool createItem(const ClipboardItem &item);

    // Inserts the items in one transaction on the background connection, skipping ids that are
    // already stored. Returns at once; the commit becomes visible to the main connection, and
    // onFinished (if given) then runs on the owner's thread (not at all once this object is gone).
    void batchInsertItems(const QList<ClipboardItem> &items, BatchCompletion onFinished = {});

    // Lists are newest first (timestamp descending; equal timestamps newest record first).
    QList<ClipboardItemEntity> fetchAllItems();
    // limit 0 (or less) means no limit.
    QList<ClipboardItemEntity> fetchRecentItems(int limit);
    std::optional<ClipboardItemEntity> fetchItemEntity(const QUuid &id);
    // The newest records as the history holds them (limit 0 or less: every record): images larger
    // than largeImageContentBytes come without content and preview, with their digest instead.
    // Read on the background connection, so neither the read nor the hashing holds the owner's
    // thread; the caller waits. Nothing on failure (logged).
    QList<ClipboardItemEntity> fetchHistoryItems(int limit);
    // The item with the stored content and preview put back, read on the background connection;
    // safe on any thread. Nothing when the record is gone or the read failed (both logged).
    QFuture<std::optional<ClipboardItem>> fetchStoredContent(const ClipboardItem &item);
    // Items other than images whose content or preview contains the query, ignoring case and
    // diacritics; every other character (%, _, quotes) matches itself. An empty query finds nothing.
    QList<ClipboardItemEntity> searchItems(const QString &query);
    QList<ClipboardItemEntity> fetchFavoriteItems();
    // Every stored id, cheaply (no contents), for checking other indexes against the store.
    // Nothing when the store cannot be read (logged), which is not the same as an empty store.
    std::optional<QList<QUuid>> fetchAllIds();
    // The records with these ids, newest first; ids not stored are skipped.
    QList<ClipboardItemEntity> fetchItems(const QList<QUuid> &ids);

    // Records the entity's fields (found by recordId) as an unsaved change of the main connection;
    // saveContext writes them. Fetches return what is saved.
    void updateItemEntity(const ClipboardItemEntity &record);
    // Deletes the record with its metadata record, then saves; false when saving failed.
    bool deleteItemEntity(const ClipboardItemEntity &record);
    // Deletes the records with their metadata records in one save (one transaction); false when
    // saving failed.
    bool deleteItemEntities(const QList<ClipboardItemEntity> &records);
    // Deletes every record in one transaction and drops the unsaved changes, then empties the
    // write-ahead log into the store file, so that no deleted text stays readable in either file
    // (every connection overwrites deleted content). False when a step failed; each failure is
    // logged.
    bool deleteAllItems();
    // Deletes, in one transaction, the items captured before the cutoff that are not favourites;
    // their ids (nothing on failure, which is logged). Compacts the file afterwards when much of
    // it is free.
    std::optional<QList<QUuid>> deleteItemsOlderThan(const QDateTime &cutoff);
    // Rewrites the file without its free pages when they are a large share of it, on the
    // background connection: a large deletion then gives the disk space back.
    void compactIfMostlyFree();
    bool hasChanges();
    // Writes the unsaved changes in one transaction and logs the outcome; nothing to do without
    // changes. False when writing failed: failed changes are dropped, not retried.
    bool saveContext();

    // Named facts about the store itself, kept as long as the store is (clearing the items keeps
    // them). hasFlag is false when the flag is not set or cannot be read; setFlag is true once the
    // flag is stored. Failures are logged.
    bool hasFlag(const QString &name);
    bool setFlag(const QString &name);

    // The item a record stands for; a record lacking a required field gives a placeholder.
    static ClipboardItem makeClipboardItem(const ClipboardItemEntity &record);

    // The default fatal-error handler: the message to standard error, then exit with failure.
    static void exitWithMessage(const QString &message);

private:
    enum class StoreState { closed, open, failed };

    // The main connection, opened on first use. Throws SqliteError when the store is unavailable.
    SqliteDatabase &database();
    void openStore();
    // Whether the store is open for the background connection, opening it on the owner thread
    // first if need be. Any thread.
    bool openForBackgroundWork();
    // A checked, configured and upgraded connection; a damaged file is set aside first. Throws
    // SqliteError (ForeignItemStoreError for someone else's tables).
    std::unique_ptr<SqliteDatabase> openCheckedConnection();
    [[noreturn]] void throwUnavailable() const;

    // The health that status reports; each write ends with one of these.
    void noteWriteFailure(const std::exception &error);
    void noteWriteSuccess();

    // Runs the work on the owner's thread, blocking a caller on another thread until it is done.
    template <typename Work>
    auto onOwnerThread(Work work) -> decltype(work());

    // These run on the background thread and throw SqliteError.
    SqliteDatabase &backgroundDatabase();
    BatchInsertResult insertBatch(const QList<ClipboardItem> &items);
    // Copies the write-ahead log into the store file on the background thread, so that the
    // main thread never waits for the disk flush a checkpoint needs.
    void scheduleCheckpoint();

    const QString m_dataDirectory;
    const QString m_storePath;
    const FatalErrorHandler m_onFatalError;

    StoreState m_state = StoreState::closed;
    // Set once the store opened: other threads may then use the background connection.
    std::atomic_bool m_opened = false;
    std::unique_ptr<SqliteDatabase> m_database;

    std::map<qint64, ClipboardItemEntity> m_pendingUpdates;
    std::set<qint64> m_pendingDeletions;

    // One background thread, so batches run one after another on one connection.
    QThreadPool m_batchPool;
    std::unique_ptr<SqliteDatabase> m_backgroundDatabase; // used only by m_batchPool's tasks
    std::atomic_bool m_checkpointPending = false;

    // Written on the owner's thread and the background thread, read by status on any thread.
    mutable std::mutex m_healthMutex;
    QString m_unavailableReason; // why the store cannot be used at all
    QString m_lastWriteFailure;
    std::optional<QString> m_setAsidePath;
};

template <typename Work>
auto CoreDataManager::onOwnerThread(Work work) -> decltype(work())
{
    if (QThread::currentThread() == thread())
        return work();
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(this, [&] { result = work(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

} // namespace snipbrook
