#include "ClipboardManager.h"

#include "ClipboardReader.h"
#include "ClipboardWriteBack.h"
#include "ItemCategories.h"
#include "SourceAppDetector.h"

#include "config/ConfigurationManager.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"
#include "search/LocalAISearchManager.h"
#include "search/SimilaritySearchKitManager.h"
#include "core/Async.h"
#include "core/HistoryStorage.h"

#include <QtConcurrent/QtConcurrentRun>

#include <limits>

namespace snipbrook {
namespace {

constexpr qint64 defaultMaxItems = 1000;

// Items with equal keys are duplicates: same kind, canonically equivalent content.
using DuplicateKey = std::pair<int, QString>;

int itemLimitFrom(qint64 configured)
{
    if (configured >= 1 && configured <= std::numeric_limits<int>::max())
        return int(configured);
    diag(QStringLiteral("⚠️ Unusable history limit, using the default: ") + QString::number(configured));
    return int(defaultMaxItems);
}

} // namespace

struct ClipboardManager::LoadedHistory {
    QList<ClipboardItem> items;
    QSet<QUuid> favorites;
    QHash<QUuid, QString> canonicalKeys;
};

ClipboardManager::ClipboardManager(ConfigurationManager &configurationManager, Pasteboard &pasteboard,
                                   Workspace &workspace, HistoryStorage &storage, SemanticSearcher &vectorStore,
                                   const Clock &clock, ClipboardTimings timings, QObject *parent)
    : QObject(parent),
      m_configurationManager(configurationManager),
      m_pasteboard(pasteboard),
      m_workspace(workspace),
      m_storage(storage),
      m_vectorStore(vectorStore),
      m_clock(clock),
      m_timings(timings)
{
    m_maxItems = itemLimitFrom(m_configurationManager.configuration().settings.maxClipboardItems);
    m_lastChangeCount = m_pasteboard.changeCount();

    m_internalCopyReset.setSingleShot(true);
    connect(&m_internalCopyReset, &QTimer::timeout, this, [this] { m_isInternalCopy = false; });
    m_readTimeout.setSingleShot(true);
    connect(&m_readTimeout, &QTimer::timeout, this, &ClipboardManager::readTimedOut);

    waitForStorageThenLoad();
    startMonitoring();
}

// Storage reads still running are not waited for: the item store may be answering them through
// this very thread. They hold nothing of the manager, and their results die with its watchers.
ClipboardManager::~ClipboardManager() { m_monitoringTimer.stop(); }

// ---- Start-up ----

void ClipboardManager::waitForStorageThenLoad()
{
    if (!m_storage.isInitialized()) {
        QTimer::singleShot(m_timings.storageWaitMs, this, &ClipboardManager::waitForStorageThenLoad);
        return;
    }
    HistoryStorage *storage = &m_storage;
    const int limit = m_maxItems;
    const QFuture<LoadedHistory> loading = QtConcurrent::run([storage, limit] {
        LoadedHistory loaded;
        loaded.items = storage->loadItems(limit);
        for (const ClipboardItem &favorite : storage->loadFavoriteItems())
            loaded.favorites.insert(favorite.id);
        loaded.canonicalKeys = CanonicalContent::keysOf(loaded.items);
        return loaded;
    });
    whenFinished(loading, this, [this](const QFuture<LoadedHistory> &future) {
        if (future.resultCount() > 0)
            publishLoadedHistory(future.result());
    });
}

void ClipboardManager::publishLoadedHistory(LoadedHistory loaded)
{
    m_canonicalContent.replace(std::move(loaded.canonicalKeys));
    const qsizetype itemCount = loaded.items.size();
    const qsizetype favoriteCount = loaded.favorites.size();
    setClipboardItems(std::move(loaded.items));
    setFavoriteItems(std::move(loaded.favorites));
    diag(QStringLiteral("📱 Loaded %1 clipboard items and %2 favorites from hybrid storage").arg(itemCount).arg(favoriteCount));

    whenFinished(similaritySearchManager().indexItems(m_clipboardItems), this, [this](const QFuture<void> &) {
        diag(QStringLiteral("✅ Legacy similarity index initialized with %1 items").arg(m_clipboardItems.size()));
    });
}

SimilaritySearchKitManager &ClipboardManager::similaritySearchManager()
{
    if (!m_similaritySearchManager)
        m_similaritySearchManager = std::make_unique<SimilaritySearchKitManager>();
    return *m_similaritySearchManager;
}

// ---- Monitoring ----

void ClipboardManager::startMonitoring()
{
    m_monitoringTimer.setInterval(m_timings.pollIntervalMs);
    connect(&m_monitoringTimer, &QTimer::timeout, this, &ClipboardManager::pollTick, Qt::UniqueConnection);
    m_monitoringTimer.start();
    // Queued, so a write the program itself makes never re-enters the write-back.
    connect(&m_pasteboard, &Pasteboard::changed, this, &ClipboardManager::pollTick,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    // The owner of the last copy quit: keep the user's newest item pasteable.
    connect(&m_pasteboard, &Pasteboard::becameEmpty, this, &ClipboardManager::restoreNewestItemToClipboard,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void ClipboardManager::pollTick()
{
    if (m_isInternalCopy)
        return;
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount == m_lastChangeCount)
        return;
    m_lastChangeCount = changeCount;
    processClipboardChange();
}

void ClipboardManager::processClipboardChange()
{
    const SourceAppInfo source = SourceAppDetector(m_workspace).detectSourceApp();
    if (source.bundleIdentifier) {
        const std::optional<QString> own = m_workspace.ownBundleIdentifier();
        if (own && *source.bundleIdentifier == *own) {
            diag(QStringLiteral("🔄 Skipping clipboard change from Snipbrook itself"));
            m_read.pendingChange.reset();
            return;
        }
        const QStringList ignored = m_configurationManager.configuration().settings.blacklistedBundleIds.value_or(QStringList());
        if (ignored.contains(*source.bundleIdentifier)) {
            diag(QStringLiteral("🚫 Ignoring clipboard change from blacklisted app: ") + *source.bundleIdentifier);
            m_read.pendingChange.reset();
            return;
        }
    }
    // One read at a time: a change during a read is read next, and only the newest one.
    if (m_read.inFlight) {
        m_read.pendingChange = source;
        return;
    }
    requestSnapshot(source);
}

void ClipboardManager::requestSnapshot(const SourceAppInfo &source)
{
    m_read.inFlight = true;
    ++m_read.number;
    m_read.changeCount = m_pasteboard.changeCount();
    m_read.source = source;
    m_read.pendingChange.reset();
    m_readTimeout.start(m_timings.snapshotTimeoutMs);
    const quint64 read = m_read.number;
    m_pasteboard.requestSnapshot(this, [this, read](std::optional<PasteboardSnapshot> snapshot) {
        snapshotArrived(read, std::move(snapshot));
    });
}

void ClipboardManager::snapshotArrived(quint64 read, std::optional<PasteboardSnapshot> snapshot)
{
    if (!m_read.inFlight || read != m_read.number)
        return; // answered after its time-out
    const SourceAppInfo source = m_read.source;
    // Contents replaced since the request may be what the snapshot holds: those belong to the
    // newer change (perhaps an ignored application's, or the program's own write), not this one.
    const bool replacedSince = m_pasteboard.changeCount() != m_read.changeCount;
    const bool recorded = snapshot && !replacedSince;
    finishRead();
    if (!recorded)
        return;
    const std::optional<ClipboardContentResult> result = readClipboardContent(*snapshot, source);
    if (!result)
        return;
    const ClipboardItem item = newItem(*result);
    addItem(item);
}

void ClipboardManager::readTimedOut()
{
    if (!m_read.inFlight)
        return;
    diag(QStringLiteral("⚠️ Clipboard read timed out, change not recorded"));
    finishRead();
}

void ClipboardManager::finishRead()
{
    m_read.inFlight = false;
    m_readTimeout.stop();
    if (const std::optional<SourceAppInfo> next = std::exchange(m_read.pendingChange, std::nullopt))
        requestSnapshot(*next);
}

// ---- Recording ----

void ClipboardManager::addItem(const ClipboardItem &item)
{
    QMetaObject::invokeMethod(this, [this, item] { insertItem(item); }, Qt::QueuedConnection);
}

void ClipboardManager::insertItem(const ClipboardItem &item)
{
    const QString key = CanonicalContent::keyOf(item.content);
    QList<ClipboardItem> items = std::move(m_clipboardItems);
    items.removeIf([&](const ClipboardItem &existing) {
        if (existing.type != item.type || m_canonicalContent.of(existing) != key)
            return false;
        m_canonicalContent.forget(existing.id);
        return true;
    });
    items.prepend(item);
    while (items.size() > m_maxItems) {
        m_canonicalContent.forget(items.last().id);
        items.removeLast();
    }
    m_canonicalContent.remember(item.id, key);
    setClipboardItems(std::move(items));

    m_storage.saveItem(item);
    similaritySearchManager().addItem(item);
}

ClipboardItem ClipboardManager::newItem(const ClipboardContentResult &result) const
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.type = result.type;
    item.content = result.content;
    item.preview = result.preview;
    item.metadata = result.metadata;
    item.timestamp = m_clock.now();
    return item;
}

std::optional<ClipboardItem> ClipboardManager::recordText(const QString &text)
{
    if (trimWhitespaceAndNewlines(text).isEmpty())
        return std::nullopt;
    PasteboardSnapshot snapshot;
    snapshot.text = text;
    const std::optional<ClipboardContentResult> result = readClipboardContent(snapshot, SourceAppInfo{});
    if (!result)
        return std::nullopt;
    const ClipboardItem item = newItem(*result);
    addItem(item);
    return item;
}

// ---- Write-back ----

void ClipboardManager::copyItem(const ClipboardItem &item, std::function<void()> completion)
{
    m_isInternalCopy = true;
    QMetaObject::invokeMethod(
        this,
        [this, item, completion = std::move(completion)]() mutable {
            m_pasteboard.clearContents();
            completeCopy(item, writeItemToPasteboard(item, m_pasteboard), std::move(completion));
        },
        Qt::QueuedConnection);
}

void ClipboardManager::completeCopy(const ClipboardItem &item, const std::optional<ClipboardCopyError> &error,
                                    std::function<void()> completion)
{
    if (error) {
        diag(QStringLiteral("❌ Failed to copy item to clipboard: ") + error->description());
        m_pasteboard.writeText(item.content);
        m_lastChangeCount = m_pasteboard.changeCount();
    } else {
        m_lastChangeCount = m_pasteboard.changeCount();
        diag(QStringLiteral("✅ Successfully copied item to clipboard: ") + displayName(item.type));
    }
    if (completion)
        QMetaObject::invokeMethod(this, std::move(completion), Qt::QueuedConnection);
    // One window for overlapping copies: it closes a second after the last one.
    m_internalCopyReset.start(m_timings.internalCopyResetMs);
}

bool ClipboardManager::restoreNewestItemToClipboard()
{
    if (m_clipboardItems.isEmpty())
        return false;
    copyItem(m_clipboardItems.first());
    return true;
}

// ---- History operations ----

void ClipboardManager::deleteItem(const QUuid &id)
{
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            QList<ClipboardItem> items = std::move(m_clipboardItems);
            items.removeIf([&](const ClipboardItem &item) { return item.id == id; });
            m_canonicalContent.forget(id);
            setClipboardItems(std::move(items));
            QSet<QUuid> favorites = std::move(m_favoriteItems);
            favorites.remove(id);
            setFavoriteItems(std::move(favorites));

            QList<QFuture<void>> deletions{m_storage.deleteItem(id), similaritySearchManager().removeItem(id)};
            whenFinished(QtFuture::whenAll(deletions.begin(), deletions.end()), this,
                         [](const auto &) { diag(QStringLiteral("✅ Item deletion completed")); });
        },
        Qt::QueuedConnection);
}

void ClipboardManager::toggleFavorite(const QUuid &id)
{
    QSet<QUuid> favorites = std::move(m_favoriteItems);
    if (!favorites.remove(id))
        favorites.insert(id);
    const bool isFavorite = favorites.contains(id);
    setFavoriteItems(std::move(favorites));

    const auto found = std::find_if(m_clipboardItems.cbegin(), m_clipboardItems.cend(),
                                    [&](const ClipboardItem &item) { return item.id == id; });
    if (found == m_clipboardItems.cend())
        return;
    const qsizetype index = found - m_clipboardItems.cbegin();
    QList<ClipboardItem> items = std::move(m_clipboardItems);
    ClipboardItem &item = items[index];
    item.isFavorite = isFavorite;
    const ClipboardItem updated = item;
    setClipboardItems(std::move(items));
    m_storage.updateItem(updated);
}

void ClipboardManager::clearAllHistory()
{
    m_canonicalContent.clear();
    setClipboardItems({});
    setFavoriteItems({});
    clearSearch();
    m_storage.resetAllData();
    diag(QStringLiteral("🗑️ Cleared all clipboard history from hybrid storage"));
}

void ClipboardManager::removeDuplicates()
{
    const qsizetype before = m_clipboardItems.size();
    QSet<DuplicateKey> seen;
    QList<ClipboardItem> unique;
    for (const ClipboardItem &item : m_clipboardItems) {
        DuplicateKey key{int(item.type), m_canonicalContent.of(item)};
        if (!seen.contains(key)) {
            seen.insert(std::move(key));
            unique.append(item);
        }
    }
    QSet<QUuid> favorites;
    for (const ClipboardItem &item : unique) {
        if (m_favoriteItems.contains(item.id))
            favorites.insert(item.id);
    }
    setClipboardItems(unique);
    m_canonicalContent.retainOnly(m_clipboardItems);
    setFavoriteItems(std::move(favorites));

    HistoryStorage *storage = &m_storage;
    const QFuture<QList<QUuid>> stored = QtConcurrent::run([storage] {
        QSet<DuplicateKey> storedSeen;
        QList<QUuid> duplicates;
        for (const ClipboardItem &item : storage->loadItems(std::nullopt)) {
            DuplicateKey key{int(item.type), CanonicalContent::keyOf(item.content)};
            if (storedSeen.contains(key))
                duplicates.append(item.id);
            else
                storedSeen.insert(std::move(key));
        }
        return duplicates;
    });
    whenFinished(stored, this, [this, unique](const QFuture<QList<QUuid>> &future) {
        deleteStoredDuplicates(future.resultCount() > 0 ? future.result() : QList<QUuid>{}, 0, unique);
    });
    diag(QStringLiteral("🧹 Removed %1 duplicate clipboard items").arg(before - unique.size()));
}

// One deletion at a time, then the similarity mirror is rebuilt from the kept items.
void ClipboardManager::deleteStoredDuplicates(QList<QUuid> ids, qsizetype next, QList<ClipboardItem> unique)
{
    if (next < ids.size()) {
        const QUuid id = ids.at(next);
        whenFinished(m_storage.deleteItem(id), this,
                     [this, ids = std::move(ids), next, unique = std::move(unique)](const QFuture<void> &) mutable {
                         deleteStoredDuplicates(std::move(ids), next + 1, std::move(unique));
                     });
        return;
    }
    whenFinished(similaritySearchManager().clearIndex(), this,
                 [this, unique = std::move(unique)](const QFuture<void> &) {
                     similaritySearchManager().indexItems(unique);
                 });
}

QList<ClipboardItem> ClipboardManager::itemsForCategory(const QString &name) const
{
    QList<CategoryFilter> typeCategories;
    for (const Category &category : m_configurationManager.typeCategories())
        typeCategories.append({category.name, category.type});
    return snipbrook::itemsForCategory(name, m_clipboardItems, m_favoriteItems, typeCategories, m_clock);
}

// ---- Observable fields ----

void ClipboardManager::setClipboardItems(QList<ClipboardItem> items)
{
    m_clipboardItems = std::move(items);
    emit clipboardItemsChanged();
}

void ClipboardManager::setFavoriteItems(QSet<QUuid> favorites)
{
    m_favoriteItems = std::move(favorites);
    emit favoriteItemsChanged();
}

void ClipboardManager::setSearchResults(QList<SimilaritySearchResult> results)
{
    m_searchResults = std::move(results);
    emit searchResultsChanged();
}

void ClipboardManager::setIsSearching(bool value)
{
    m_isSearching = value;
    emit isSearchingChanged();
}

void ClipboardManager::setCurrentSearchQuery(const QString &query)
{
    m_currentSearchQuery = query;
    emit currentSearchQueryChanged();
}

} // namespace snipbrook
