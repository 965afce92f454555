#pragma once

#include "CoreDataManager.h"
#include "DataManager.h"
#include "core/HistoryStorage.h"
#include "VectorStoreManager.h"

#include "platform/Preferences.h"

#include <QFuture>
#include <QObject>
#include <QPromise>

#include <chrono>
#include <memory>

namespace snipbrook {

// The history's one storage entry point: keeps the item store and the vector index in step and,
// once per installation, imports the legacy JSON history into both.
//
// Start-up (from construction, on the event loop): "🚀 Initializing HybridDataManager...", a
// short wait, the import unless it is recorded as done, then isInitialized. It is recorded both as
// the preference "HybridDataManager.HasMigratedFromJSON" and as the item store's flag of the same
// name; either counts, so losing the settings file does not bring cleared legacy items back. After that, stored items that have no index entry (say after a crash)
// are indexed in the background.
//
// Operations are called on the thread that owns this object (the main thread); the synchronous
// reads may come from any thread (the item store serialises them).
class HybridDataManager : public QObject, public HistoryStorage {
    Q_OBJECT
    Q_PROPERTY(bool isInitialized READ isInitialized NOTIFY isInitializedChanged)
    Q_PROPERTY(bool isMigrating READ isMigrating NOTIFY isMigratingChanged)
    Q_PROPERTY(double migrationProgress READ migrationProgress NOTIFY migrationProgressChanged)

public:
    static constexpr auto migrationKey = "HybridDataManager.HasMigratedFromJSON";
    static constexpr int migrationChunkSize = 50;
    static constexpr std::chrono::milliseconds defaultStartDelay{500};

    HybridDataManager(CoreDataManager &coreDataManager, VectorStoreManager &vectorStoreManager,
                      Preferences &preferences, const QString &documentsDirectory,
                      std::chrono::milliseconds startDelay = defaultStartDelay, QObject *parent = nullptr,
                      QFuture<void> reconcileAfter = {});
    ~HybridDataManager() override;

    bool isInitialized() const override { return m_isInitialized; }
    QFuture<void> initialized() const override { return m_initialized.future(); }
    bool isMigrating() const { return m_isMigrating; }
    // Share of import chunks done, 0.0 to 1.0.
    double migrationProgress() const { return m_migrationProgress; }
    bool hasMigratedFromJSON() const { return m_hasMigratedFromJSON; }

    // Finishes when the background indexing of stored items missing from the index is done.
    QFuture<void> missingEntriesIndexed() const { return m_missingEntriesIndexed; }

    QList<ClipboardItem> loadItems(std::optional<int> limit) override;
    QList<ClipboardItem> searchItems(const QString &query) override;
    QList<ClipboardItem> loadFavoriteItems() override;
    std::optional<ClipboardItem> loadItem(const QUuid &id) override;
    QFuture<std::optional<ClipboardItem>> loadStoredContent(const ClipboardItem &item) override;

    // Stores the item, then indexes it; an item the store refuses is not indexed.
    QFuture<bool> saveItem(const ClipboardItem &item) override;
    QFuture<BatchInsertResult> saveItems(const QList<ClipboardItem> &items) override;
    // Overwrites the stored record (if any) and re-indexes the item; false when no record was
    // stored or the store could not write it. An item whose content is in the store keeps the
    // stored content and preview.
    QFuture<bool> updateItem(const ClipboardItem &item) override;
    // False only when the store could not delete a stored record.
    QFuture<bool> deleteItem(const QUuid &id) override;
    // Deletes every record (one transaction) and empties the index. The legacy files stay
    // imported: the flag remains set, so deleted history never comes back.
    QFuture<bool> resetAllData() override;
    QFuture<QList<QUuid>> deleteItemsOlderThan(const QDateTime &cutoff) override;

    // Imports the legacy history in chunks of 50 into the store and the index, backs the files up
    // and sets the flag. If the store could not save every chunk, the flag stays unset and the
    // import runs again at the next start (items already stored are skipped).
    QFuture<void> migrateFromJSON();
    // Copies the legacy files into the documents folder's "json_backup" folder, in the background.
    QFuture<void> createJSONBackup();

signals:
    void isInitializedChanged(bool isInitialized);
    void isMigratingChanged(bool isMigrating);
    void migrationProgressChanged(double progress);

private:
    struct Migration;

    // The store's background insert, as a future (cancelled if the store goes first).
    QFuture<BatchInsertResult> insertInBackground(const QList<ClipboardItem> &items);
    void startUp();
    bool hasLegacyFiles() const;
    void finishStartUp();
    void migrateNextChunk(const std::shared_ptr<Migration> &migration);
    void completeMigration(const std::shared_ptr<Migration> &migration);
    void readMigrationRecords();
    // Records the import as done, in the settings and in the store.
    void setMigrated();
    void setIsInitialized(bool value);
    void setIsMigrating(bool value);
    void setMigrationProgress(double value);
    static QList<ClipboardItem> items(const QList<ClipboardItemEntity> &records);

    const QFuture<void> m_reconcileAfter;
    CoreDataManager &m_coreDataManager;
    VectorStoreManager &m_vectorStoreManager;
    Preferences &m_preferences;
    const DataManager m_legacyDataManager;
    const QString m_documentsDirectory;

    bool m_isInitialized = false;
    QPromise<void> m_initialized;
    bool m_isMigrating = false;
    bool m_migrationCancelled = false;
    double m_migrationProgress = 0.0;
    bool m_hasMigratedFromJSON = false;
    QFuture<void> m_missingEntriesIndexed;
};

} // namespace snipbrook
