#pragma once

#include "CanonicalContent.h"
#include "core/HistoryStorage.h"
#include "HistoryModel.h"

#include "model/ClipboardContentResult.h"
#include "model/ClipboardCopyError.h"
#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"
#include "model/SourceAppInfo.h"
#include "platform/Clock.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QFuture>
#include <QList>
#include <QPromise>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace snipbrook {

class ConfigurationManager;

class LocalAISearchManager;
class SemanticSearcher;
class SimilaritySearchKitManager;

// The pacing of the monitor and the write-back; tests shorten it.
struct ClipboardTimings {
    int pollIntervalMs = 500;
    int internalCopyResetMs = 1000;
    // A clipboard read that has not answered by then counts as failed.
    int snapshotTimeoutMs = 10000;
    // How often old items are cleaned up (besides once after start-up).
    int cleanupIntervalMs = 24 * 60 * 60 * 1000;
};

// The clipboard history: watches the clipboard, turns each new copy into an item at the top of an
// in-memory list, keeps the favourites, writes items back, and answers searches. All operations
// are called on the main thread, and the observable fields change only there.
//
// Timing, the same for every history operation (add, delete, favourite, clear, dedupe): the
// in-memory history (the list model, clipboardItems and favoriteItems with their signals) has
// changed when the call returns; the returned future finishes once storage has the change, with
// false when the item store did not take it. Nobody has to wait for the future.
class ClipboardManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<snipbrook::ClipboardItem> clipboardItems READ clipboardItems NOTIFY clipboardItemsChanged)
    Q_PROPERTY(QSet<QUuid> favoriteItems READ favoriteItems NOTIFY favoriteItemsChanged)
    Q_PROPERTY(QList<snipbrook::SimilaritySearchResult> searchResults READ searchResults NOTIFY searchResultsChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool isLoaded READ isLoaded NOTIFY isLoadedChanged)
    Q_PROPERTY(QString currentSearchQuery READ currentSearchQuery WRITE setCurrentSearchQuery NOTIFY
                   currentSearchQueryChanged)

public:
    // Reads the item limit and the item size limit once, takes the clipboard's current change
    // count (what is there now is not recorded), starts loading from storage and starts
    // monitoring. Every reference must outlive the manager; storage must also outlive its reads
    // still running when the manager goes (the application keeps it until exit).
    ClipboardManager(ConfigurationManager &configurationManager, Pasteboard &pasteboard, Workspace &workspace,
                     HistoryStorage &storage, SemanticSearcher &vectorStore, const Clock &clock,
                     ClipboardTimings timings = {}, QObject *parent = nullptr);
    ~ClipboardManager() override;

    // The history, newest first, as a list model for item views and as a list.
    HistoryModel &historyModel() { return m_history; }
    const QList<ClipboardItem> &clipboardItems() const { return m_history.items(); }
    // The ids of the favourites in the history; each item's isFavorite flag is the one source.
    QSet<QUuid> favoriteItems() const;
    const QList<SimilaritySearchResult> &searchResults() const { return m_searchResults; }
    bool isSearching() const { return m_isSearching; }
    // True once the first load from storage has been merged into the history.
    bool isLoaded() const { return m_isLoaded; }
    // Finishes when isLoaded turns true (cancelled if the manager goes first).
    QFuture<void> loaded() const { return m_loadedPromise.future(); }
    const QString &currentSearchQuery() const { return m_currentSearchQuery; }
    void setCurrentSearchQuery(const QString &query);

    int maxItems() const { return m_maxItems; }
    // Copies larger than this many bytes are skipped.
    qint64 maxItemSize() const { return m_maxItemSize; }
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    // True while the program writes the clipboard itself; the monitor then looks away.
    bool isInternalCopy() const { return m_isInternalCopy; }
    void setIsInternalCopy(bool value) { m_isInternalCopy = value; }

    // Created on first use.
    SimilaritySearchKitManager &similaritySearchManager();

    // Schedules the poll; a change the clipboard reports triggers a tick at once as well, and a
    // clipboard emptied by its owner quitting gets the newest item back.
    void startMonitoring();
    // One clipboard change: drops it when it comes from this program or an ignored application,
    // otherwise reads the clipboard and records what it holds once the read arrives and has been
    // classified off the main thread. A copy larger than maxItemSize is skipped with a log line.
    void processClipboardChange();

    // Records an item at the top, dropping older items with the same content and kind and
    // trimming the list to maxItems.
    QFuture<bool> addItem(const ClipboardItem &item);
    // Records many items at once, oldest first, as if each had been copied in turn: the newest
    // copy of each content stays, on top. They are stored in one transaction; the future says so.
    QFuture<BatchInsertResult> addItems(const QList<ClipboardItem> &items);
    // Records items from elsewhere (an import) with their own ids and times: stored in one
    // transaction (ids already stored skipped) and placed in the history by time.
    QFuture<BatchInsertResult> importItems(const QList<ClipboardItem> &items);
    // The item a copy of this text from no particular application would record; nothing for
    // blank text. Record it with addItem. Safe on any thread (a large text takes a while).
    std::optional<ClipboardItem> itemForText(const QString &text) const;

    // Writes the item back onto the clipboard, by kind, falling back to its text when the clipboard
    // refuses that form; the program's own write is not recorded. The completion learns whether
    // the item, or at least its text, is on the clipboard.
    void copyItem(const ClipboardItem &item, std::function<void(bool written)> completion = {});
    // Offers the newest item again, as the program's own write (done by itself when the clipboard
    // reports it became empty). False when the history is empty.
    bool restoreNewestItemToClipboard();

    // The item with this id: from the history, else from storage (items older than the history
    // holds stay stored and searchable). A history item may have its content in the store.
    std::optional<ClipboardItem> findItem(const QUuid &id) const;

    // The item with its content: at once when it has it, else read from storage off the calling
    // thread (large images in the history leave their data there). Nothing, with a log line, when
    // that read fails. Safe on any thread.
    QFuture<std::optional<ClipboardItem>> withContent(const ClipboardItem &item) const;
    // The same for work on a pool thread, waiting for the read: never call it on the main thread
    // (the store may need that thread). It uses only the storage, which outlives the manager.
    using ContentLoader = std::function<std::optional<ClipboardItem>(const ClipboardItem &)>;
    ContentLoader contentLoader() const;
    // withContent for many items, in their order; the ones whose read failed are left out.
    QFuture<QList<ClipboardItem>> withContents(const QList<ClipboardItem> &items);

    QFuture<bool> deleteItem(const QUuid &id);
    QFuture<bool> toggleFavorite(const QUuid &id);
    QFuture<bool> clearAllHistory();
    // Keeps the newest item of each content-and-kind pair, in memory and in storage; the future
    // holds the number of stored duplicates deleted.
    QFuture<int> removeDuplicates();
    QList<ClipboardItem> itemsForCategory(const QString &name) const;
    // With automatic clean-up on, removes the items older than the configured number of days that
    // are not favourites, from the history, storage and the index; the future holds how many
    // stored items went. Runs by itself after the first load and then daily.
    QFuture<int> cleanUpOldItems();

    // Keyword search over storage, or search by meaning over the history. A blank query clears
    // the search. Only the newest search publishes its results.
    void search(const QString &query, bool useSemantic);
    void clearSearch();
    // The same search for a caller of its own: the results come in the future and are not
    // published, so it neither replaces nor is replaced by other searches.
    QFuture<QList<SimilaritySearchResult>> findItems(const QString &query, bool useSemantic);

signals:
    void clipboardItemsChanged();
    void favoriteItemsChanged();
    void searchResultsChanged();
    void isSearchingChanged();
    void isLoadedChanged();
    void currentSearchQueryChanged();

private:
    struct LoadedHistory;
    struct Capture;

    void waitForStorageThenLoad();
    void mergeLoadedHistory(LoadedHistory loaded);
    void pollTick();
    void requestSnapshot(const SourceAppInfo &source);
    void snapshotArrived(quint64 read, std::optional<PasteboardSnapshot> snapshot);
    void captureClassified(const Capture &capture);
    void readTimedOut();
    void finishRead();
    // A fresh item (new id, captured now, not a favourite) for what a read produced.
    ClipboardItem newItem(const ClipboardContentResult &result) const;
    // addItem with the content's canonical key already worked out.
    QFuture<bool> addItemWithKey(ClipboardItem item, const QString &key);
    // Once storage holds them, the history keeps these items' large images without their data.
    template <typename T>
    QFuture<T> leaveContentInStoreOnceSaved(const QFuture<T> &saved, const QList<QUuid> &ids);
    void leaveContentInStore(const QList<QUuid> &ids);
    void completeCopy(const ClipboardItem &item, const std::optional<ClipboardCopyError> &error,
                      std::function<void(bool written)> completion);
    void publishSearch(quint64 generation, QList<SimilaritySearchResult> results);
    QFuture<QList<SimilaritySearchResult>> runSearch(const QString &query, bool useSemantic,
                                                     std::function<bool()> stillWanted);
    LocalAISearchManager &localAISearch();
    // Removes the items the predicate picks from the history and from the duplicate keys.
    // Drops the items beyond maxItems (they stay stored).
    void trimToLimit();
    QList<ClipboardItem> removeFromHistory(const std::function<bool(const ClipboardItem &)> &pick);
    void historyChanged(bool favoritesChanged);

    void setSearchResults(QList<SimilaritySearchResult> results);
    void setIsSearching(bool value);

    ConfigurationManager &m_configurationManager;
    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    HistoryStorage &m_storage;
    SemanticSearcher &m_vectorStore;
    const Clock &m_clock;
    const ClipboardTimings m_timings;

    HistoryModel m_history;
    bool m_isLoaded = false;
    QPromise<void> m_loadedPromise;
    QList<SimilaritySearchResult> m_searchResults;
    bool m_isSearching = false;
    QString m_currentSearchQuery;

    int m_maxItems = 0;
    qint64 m_maxItemSize = 0;
    qint64 m_lastChangeCount = 0;
    bool m_isInternalCopy = false;
    QTimer m_monitoringTimer;
    QTimer m_internalCopyReset;
    QTimer m_cleanupTimer;
    CanonicalContent m_canonicalContent;

    // The clipboard read in flight, if any, and the newest change that arrived meanwhile. A read
    // stays in flight until what it read is recorded, classification included, so captures are
    // recorded in the order they were made.
    struct Read {
        bool inFlight = false;
        bool classifying = false; // the snapshot arrived and is being classified
        quint64 number = 0;
        qint64 changeCount = 0;
        SourceAppInfo source;
        std::optional<SourceAppInfo> pendingChange;
    } m_read;
    QTimer m_readTimeout;

    // Bumped by every search and clear; only the search holding the newest number publishes.
    // Shared with the storage reads, which may outlive the manager.
    std::shared_ptr<std::atomic<quint64>> m_searchGeneration = std::make_shared<std::atomic<quint64>>(0);

    std::unique_ptr<SimilaritySearchKitManager> m_similaritySearchManager;
    std::unique_ptr<LocalAISearchManager> m_localAISearch;
};

} // namespace snipbrook
