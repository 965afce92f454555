#pragma once

#include "CanonicalContent.h"

#include "model/ClipboardContentResult.h"
#include "model/ClipboardCopyError.h"
#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"
#include "model/SourceAppInfo.h"
#include "platform/Clock.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QList>
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
class HistoryStorage;
class LocalAISearchManager;
class SemanticSearcher;
class SimilaritySearchKitManager;

// The pacing of the monitor and the write-back; tests shorten it.
struct ClipboardTimings {
    int pollIntervalMs = 500;
    int storageWaitMs = 100;
    int internalCopyResetMs = 1000;
    // A clipboard read that has not answered by then counts as failed.
    int snapshotTimeoutMs = 10000;
};

// The clipboard history: watches the clipboard, turns each new copy into an item at the top of an
// in-memory list, keeps the favourites, writes items back, and answers searches. Every change is
// handed at once to storage and to the similarity mirror without waiting for them. All
// operations are called on the main thread, and the observable fields change only there.
class ClipboardManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<snipbrook::ClipboardItem> clipboardItems READ clipboardItems NOTIFY clipboardItemsChanged)
    Q_PROPERTY(QSet<QUuid> favoriteItems READ favoriteItems NOTIFY favoriteItemsChanged)
    Q_PROPERTY(QList<snipbrook::SimilaritySearchResult> searchResults READ searchResults NOTIFY searchResultsChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(QString currentSearchQuery READ currentSearchQuery WRITE setCurrentSearchQuery NOTIFY
                   currentSearchQueryChanged)

public:
    // Reads the item limit once, takes the clipboard's current change count (what is there now
    // is not recorded), starts loading from storage and starts monitoring. Every reference must
    // outlive the manager; storage must also outlive its reads still running when the manager
    // goes (the application keeps it until exit).
    ClipboardManager(ConfigurationManager &configurationManager, Pasteboard &pasteboard, Workspace &workspace,
                     HistoryStorage &storage, SemanticSearcher &vectorStore, const Clock &clock,
                     ClipboardTimings timings = {}, QObject *parent = nullptr);
    ~ClipboardManager() override;

    const QList<ClipboardItem> &clipboardItems() const { return m_clipboardItems; }
    const QSet<QUuid> &favoriteItems() const { return m_favoriteItems; }
    const QList<SimilaritySearchResult> &searchResults() const { return m_searchResults; }
    bool isSearching() const { return m_isSearching; }
    const QString &currentSearchQuery() const { return m_currentSearchQuery; }
    void setCurrentSearchQuery(const QString &query);

    int maxItems() const { return m_maxItems; }
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
    // otherwise reads the clipboard and records what it holds once the read arrives.
    void processClipboardChange();

    // Records an item at the top (on the next turn of the event loop), dropping older items with
    // the same content and kind and trimming the list to maxItems.
    void addItem(const ClipboardItem &item);
    // Records text as a copy from no particular application would be; nothing for blank text.
    std::optional<ClipboardItem> recordText(const QString &text);

    // Writes the item back onto the clipboard, by kind; the program's own write is not recorded.
    void copyItem(const ClipboardItem &item, std::function<void()> completion = {});
    // Offers the newest item again, as the program's own write (done by itself when the clipboard
    // reports it became empty). False when the history is empty.
    bool restoreNewestItemToClipboard();

    void deleteItem(const QUuid &id);
    void toggleFavorite(const QUuid &id);
    void clearAllHistory();
    // Keeps the newest item of each content-and-kind pair, in memory and in storage.
    void removeDuplicates();
    QList<ClipboardItem> itemsForCategory(const QString &name) const;

    // Keyword search over storage, or search by meaning over the history. A blank query clears
    // the search. Only the newest search publishes its results.
    void search(const QString &query, bool useSemantic);
    void clearSearch();

signals:
    void clipboardItemsChanged();
    void favoriteItemsChanged();
    void searchResultsChanged();
    void isSearchingChanged();
    void currentSearchQueryChanged();

private:
    struct LoadedHistory;

    void waitForStorageThenLoad();
    void publishLoadedHistory(LoadedHistory loaded);
    void pollTick();
    void requestSnapshot(const SourceAppInfo &source);
    void snapshotArrived(quint64 read, std::optional<PasteboardSnapshot> snapshot);
    void readTimedOut();
    void finishRead();
    void insertItem(const ClipboardItem &item);
    // A fresh item (new id, captured now, not a favourite) for what a read produced.
    ClipboardItem newItem(const ClipboardContentResult &result) const;
    void completeCopy(const ClipboardItem &item, const std::optional<ClipboardCopyError> &error,
                      std::function<void()> completion);
    void deleteStoredDuplicates(QList<QUuid> ids, qsizetype next, QList<ClipboardItem> unique);
    void publishSearch(quint64 generation, QList<SimilaritySearchResult> results);
    LocalAISearchManager &localAISearch();

    void setClipboardItems(QList<ClipboardItem> items);
    void setFavoriteItems(QSet<QUuid> favorites);
    void setSearchResults(QList<SimilaritySearchResult> results);
    void setIsSearching(bool value);

    ConfigurationManager &m_configurationManager;
    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    HistoryStorage &m_storage;
    SemanticSearcher &m_vectorStore;
    const Clock &m_clock;
    const ClipboardTimings m_timings;

    QList<ClipboardItem> m_clipboardItems;
    QSet<QUuid> m_favoriteItems;
    QList<SimilaritySearchResult> m_searchResults;
    bool m_isSearching = false;
    QString m_currentSearchQuery;

    int m_maxItems = 0;
    qint64 m_lastChangeCount = 0;
    bool m_isInternalCopy = false;
    QTimer m_monitoringTimer;
    QTimer m_internalCopyReset;
    CanonicalContent m_canonicalContent;

    // The clipboard read in flight, if any, and the newest change that arrived meanwhile.
    struct Read {
        bool inFlight = false;
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
