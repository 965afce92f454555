#include "ClipboardManager.h"
#include "core/BackgroundPool.h"

#include "ClipboardReader.h"
#include "ClipboardWriteBack.h"
#include "ItemCategories.h"
#include "SourceAppDetector.h"

#include "config/ConfigurationManager.h"
#include "core/CalendarDays.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"
#include "search/LocalAISearchManager.h"
#include "search/SimilaritySearchKitManager.h"
#include "core/Async.h"
#include "core/HistoryStorage.h"
#include "core/Memory.h"

#include <QPromise>
#include <QThreadPool>

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

qint64 itemSizeLimitFrom(std::optional<qint64> configured)
{
    if (!configured)
        return AppSettings::defaultMaxItemSizeBytes;
    if (*configured >= 1)
        return *configured;
    diag(QStringLiteral("⚠️ Unusable item size limit, using the default: ") + QString::number(*configured));
    return AppSettings::defaultMaxItemSizeBytes;
}

QList<QUuid> idsOf(const QList<ClipboardItem> &items)
{
    QList<QUuid> ids;
    ids.reserve(items.size());
    for (const ClipboardItem &item : items)
        ids.append(item.id);
    return ids;
}

// The item as the history holds it once the store has its data: a large image without it (the
// digest its key stands for in its place).
ClipboardItem heldForm(const ClipboardItem &item, const QString &key)
{
    if (item.type != ClipboardItemType::image || item.isContentInStore() || item.content.size() <= largeImageContentBytes)
        return item;
    ClipboardItem held = item;
    held.storedContentDigest = CanonicalContent::imageDigest(key);
    held.content.clear();
    held.preview.clear();
    return held;
}

} // namespace

// What the pool makes of one snapshot: its size and, when it is within the limit and no secret,
// the item's content with its canonical key.
struct ClipboardManager::Capture {
    qint64 size = 0;
    std::optional<ClipboardContentResult> result;
    QString key;
};

struct ClipboardManager::LoadedHistory {
    QList<ClipboardItem> items;
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
    m_maxItemSize = itemSizeLimitFrom(m_configurationManager.configuration().settings.maxItemSizeBytes);
    m_lastChangeCount = m_pasteboard.changeCount();

    m_internalCopyReset.setSingleShot(true);
    connect(&m_internalCopyReset, &QTimer::timeout, this, [this] { m_isInternalCopy = false; });
    m_cleanupTimer.setInterval(m_timings.cleanupIntervalMs);
    connect(&m_cleanupTimer, &QTimer::timeout, this, &ClipboardManager::cleanUpOldItems);
    m_readTimeout.setSingleShot(true);
    connect(&m_readTimeout, &QTimer::timeout, this, &ClipboardManager::readTimedOut);

    m_loadedPromise.start();
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
        whenFinished(m_storage.initialized(), this, [this](const QFuture<void> &) {
            if (m_storage.isInitialized())
                waitForStorageThenLoad();
        });
        return;
    }
    HistoryStorage *storage = &m_storage;
    const int limit = m_maxItems;
    const QFuture<LoadedHistory> loading = runOnPool(backgroundPool(), [storage, limit] {
        LoadedHistory loaded;
        // Each item's flag says whether it is a favourite; the favourites' own list adds nothing.
        loaded.items = storage->loadItems(limit);
        return loaded;
    });
    whenFinished(loading, this, [this](const QFuture<LoadedHistory> &future) {
        mergeLoadedHistory(future.resultCount() > 0 ? future.result() : LoadedHistory{});
    });
}

// What was captured while the load ran stays on top; the loaded items follow, without the ones
// the history already has (by id, or as an older copy of the same content), up to the limit.
void ClipboardManager::mergeLoadedHistory(LoadedHistory loaded)
{
    QList<ClipboardItem> merged;
    if (m_history.items().isEmpty()) {
        // Nothing was copied meanwhile (nearly always): the loaded list is the history as it is.
        merged = loaded.items.size() > m_maxItems ? loaded.items.first(m_maxItems) : loaded.items;
    } else {
        QSet<QUuid> present;
        QSet<DuplicateKey> presentContent;
        for (const ClipboardItem &item : m_history.items()) {
            present.insert(item.id);
            presentContent.insert({int(item.type), m_canonicalContent.of(item)});
        }
        merged = m_history.items();
        merged.reserve(std::min<qsizetype>(m_maxItems, merged.size() + loaded.items.size()));
        // Read without detaching: the loaded list is shared with the finished load's result.
        for (const ClipboardItem &item : std::as_const(loaded.items)) {
            if (merged.size() >= m_maxItems)
                break;
            const QString key = CanonicalContent::keyOf(item);
            if (present.contains(item.id) || presentContent.contains({int(item.type), key}))
                continue;
            m_canonicalContent.remember(item.id, key);
            merged.append(item);
        }
    }
    const qsizetype itemCount = merged.size();
    m_history.reset(std::move(merged));
    m_isLoaded = true;
    historyChanged(true);
    emit isLoadedChanged();
    m_loadedPromise.finish();
    diag(QStringLiteral("📱 Loaded %1 clipboard items and %2 favorites from hybrid storage")
             .arg(itemCount)
             .arg(favoriteItems().size()));

    // The duplicate test of every copy compares canonical keys: worked out for the whole history
    // off this thread, now that it is listed, rather than by the first copy here.
    const QFuture<QHash<QUuid, QString>> keyed =
        runOnPool(backgroundPool(), [items = m_history.items()] { return CanonicalContent::keysOf(items); });
    whenFinished(keyed, this, [this](const QFuture<QHash<QUuid, QString>> &done) {
        if (done.resultCount() == 0)
            return;
        // Only for items still listed: those deleted meanwhile must not come back as keys.
        const QHash<QUuid, QString> keys = done.result();
        for (const ClipboardItem &item : m_history.items())
            if (const auto key = keys.constFind(item.id); key != keys.cend())
                m_canonicalContent.rememberIfMissing(item.id, *key);
    });
    whenFinished(similaritySearchManager().indexItems(m_history.items()), this, [this](const QFuture<void> &) {
        diag(QStringLiteral("✅ Legacy similarity index initialized with %1 items").arg(m_history.items().size()));
        // Loading, merging and mirroring the history left freed heap behind; hand it back.
        releaseFreedMemory();
    });
    cleanUpOldItems();
    m_cleanupTimer.start();
}

QFuture<int> ClipboardManager::cleanUpOldItems()
{
    const AppSettings &settings = m_configurationManager.configuration().settings;
    if (!settings.autoCleanupEnabled || settings.cleanupIntervalDays < 1)
        return QtFuture::makeReadyFuture(0);
    const QDateTime cutoff = calendarDaysBefore(m_clock.localNow(), settings.cleanupIntervalDays, m_clock.timeZone());
    if (!cutoff.isValid())
        return QtFuture::makeReadyFuture(0);
    const QList<ClipboardItem> removed = removeFromHistory([&](const ClipboardItem &item) {
        return !item.isFavorite && item.timestamp.isValid() && item.timestamp < cutoff;
    });
    if (!removed.isEmpty())
        historyChanged(false);
    for (const ClipboardItem &item : removed)
        similaritySearchManager().removeItem(item.id);
    return thenOn(this, m_storage.deleteItemsOlderThan(cutoff), [](const QList<QUuid> &ids) { return int(ids.size()); });
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
    if (!m_read.inFlight || m_read.classifying || read != m_read.number)
        return; // answered after its time-out
    m_readTimeout.stop();
    // Contents replaced since the request may be what the snapshot holds: those belong to the
    // newer change (perhaps an ignored application's, or the program's own write), not this one.
    const bool replacedSince = m_pasteboard.changeCount() != m_read.changeCount;
    if (!snapshot || replacedSince) {
        finishRead();
        return;
    }
    // Sizing, classification, Base64 and the canonical key take long for large contents: off the
    // main thread. The read stays in flight meanwhile, so a later copy is read (and recorded)
    // only after this one.
    m_read.classifying = true;
    const QFuture<Capture> classified =
        runOnPool(backgroundPool(), [snapshot = std::move(*snapshot), source = m_read.source,
                                                    limit = m_maxItemSize] {
            Capture capture;
            if (snapshot.isSecret)
                return capture; // not even its size is logged
            capture.size = snapshotSize(snapshot);
            if (capture.size > limit)
                return capture;
            capture.result = readClipboardContent(snapshot, source);
            if (capture.result)
                capture.key = CanonicalContent::keyOf(capture.result->type, capture.result->content);
            return capture;
        });
    whenFinished(classified, this, [this](const QFuture<Capture> &done) {
        if (done.resultCount() > 0)
            captureClassified(done.result());
        finishRead();
    });
}

void ClipboardManager::captureClassified(const Capture &capture)
{
    if (capture.size > m_maxItemSize) {
        diag(QStringLiteral("⚠️ Skipped a copy larger than the item size limit: %1 bytes (limit %2 bytes)")
                 .arg(capture.size)
                 .arg(m_maxItemSize));
        return;
    }
    if (capture.result)
        addItemWithKey(newItem(*capture.result), capture.key);
}

void ClipboardManager::readTimedOut()
{
    if (!m_read.inFlight || m_read.classifying)
        return;
    diag(QStringLiteral("⚠️ Clipboard read timed out, change not recorded"));
    finishRead();
}

void ClipboardManager::finishRead()
{
    m_read.inFlight = false;
    m_read.classifying = false;
    m_readTimeout.stop();
    if (const std::optional<SourceAppInfo> next = std::exchange(m_read.pendingChange, std::nullopt))
        requestSnapshot(*next);
}

// ---- Recording ----

QFuture<bool> ClipboardManager::addItem(const ClipboardItem &item)
{
    return addItemWithKey(item, CanonicalContent::keyOf(item));
}

QFuture<bool> ClipboardManager::addItemWithKey(ClipboardItem item, const QString &key)
{
    // An earlier copy of the same content gives way to this one everywhere, and hands it its star.
    const QList<ClipboardItem> replaced = removeFromHistory([&](const ClipboardItem &existing) {
        return existing.type == item.type && m_canonicalContent.of(existing) == key;
    });
    for (const ClipboardItem &older : replaced)
        item.isFavorite |= older.isFavorite;
    m_history.prepend(item);
    m_canonicalContent.remember(item.id, key);
    trimToLimit();
    historyChanged(item.isFavorite);

    for (const ClipboardItem &older : replaced) {
        similaritySearchManager().removeItem(older.id);
        m_storage.deleteItem(older.id);
    }
    // The mirror never reads an image's data: it gets the held form at once.
    similaritySearchManager().addItem(heldForm(item, key));
    return leaveContentInStoreOnceSaved(m_storage.saveItem(item), {item.id});
}

template <typename T>
QFuture<T> ClipboardManager::leaveContentInStoreOnceSaved(const QFuture<T> &saved, const QList<QUuid> &ids)
{
    return thenOn(this, saved, [this, ids](const T &result) {
        bool stored = false;
        if constexpr (std::is_same_v<T, bool>)
            stored = result;
        else
            stored = result.saved;
        if (stored)
            leaveContentInStore(ids);
        return result;
    });
}

void ClipboardManager::leaveContentInStore(const QList<QUuid> &ids)
{
    bool changed = false;
    for (const QUuid &id : ids) {
        const std::optional<qsizetype> row = m_history.rowOf(id);
        if (!row)
            continue; // gone from the history meanwhile
        const ClipboardItem &item = m_history.items().at(*row);
        ClipboardItem held = heldForm(item, m_canonicalContent.of(item));
        if (!held.isContentInStore() || item.isContentInStore())
            continue;
        m_history.replace(*row, std::move(held));
        changed = true;
    }
    // The views hand their copies (and the data they share) back on the change.
    if (changed)
        historyChanged(false);
}

QFuture<BatchInsertResult> ClipboardManager::addItems(const QList<ClipboardItem> &items)
{
    // The newest copy of each content wins, as if the items had been copied one after another.
    QList<QString> keys;
    keys.reserve(items.size());
    QHash<DuplicateKey, qsizetype> newest;
    for (qsizetype i = 0; i < items.size(); ++i) {
        keys.append(CanonicalContent::keyOf(items.at(i)));
        newest.insert({int(items.at(i).type), keys.last()}, i);
    }
    QList<qsizetype> added; // indexes into items, newest first
    for (qsizetype i = items.size() - 1; i >= 0; --i)
        if (newest.value({int(items.at(i).type), keys.at(i)}) == i)
            added.append(i);
    QSet<DuplicateKey> starred;
    const QList<ClipboardItem> replaced = removeFromHistory([&](const ClipboardItem &existing) {
        DuplicateKey key{int(existing.type), m_canonicalContent.of(existing)};
        if (!newest.contains(key))
            return false;
        if (existing.isFavorite)
            starred.insert(std::move(key));
        return true;
    });
    QList<ClipboardItem> newestFirst;
    newestFirst.reserve(added.size());
    for (const qsizetype i : added) {
        ClipboardItem item = items.at(i);
        item.isFavorite |= starred.contains({int(item.type), keys.at(i)});
        m_canonicalContent.remember(item.id, keys.at(i));
        newestFirst.append(std::move(item));
    }
    m_history.prependAll(newestFirst.mid(0, m_maxItems));
    trimToLimit();
    historyChanged(true);

    for (const ClipboardItem &older : replaced) {
        similaritySearchManager().removeItem(older.id);
        m_storage.deleteItem(older.id);
    }
    QList<ClipboardItem> mirrored;
    for (const ClipboardItem &item : newestFirst.mid(0, m_maxItems))
        mirrored.append(heldForm(item, m_canonicalContent.of(item)));
    similaritySearchManager().indexItems(mirrored);
    // Stored oldest first, so the store's order (time, then insertion) matches the history's.
    QList<ClipboardItem> oldestFirst(newestFirst.crbegin(), newestFirst.crend());
    return leaveContentInStoreOnceSaved(m_storage.saveItems(oldestFirst), idsOf(newestFirst));
}

QFuture<BatchInsertResult> ClipboardManager::importItems(const QList<ClipboardItem> &items)
{
    const QFuture<BatchInsertResult> stored = m_storage.saveItems(items);
    return thenOn(this, stored, [this, items](const BatchInsertResult &result) {
        if (!result.saved || result.inserted == 0)
            return result;
        QSet<QUuid> present;
        for (const ClipboardItem &item : m_history.items())
            present.insert(item.id);
        QList<ClipboardItem> merged = m_history.items();
        QList<ClipboardItem> shown;
        for (const ClipboardItem &item : items)
            if (!present.contains(item.id) && item.timestamp.isValid())
                merged.append(item);
        std::stable_sort(merged.begin(), merged.end(),
                         [](const ClipboardItem &a, const ClipboardItem &b) { return a.timestamp > b.timestamp; });
        merged.resize(std::min<qsizetype>(merged.size(), m_maxItems));
        for (const ClipboardItem &item : merged)
            if (!present.contains(item.id))
                shown.append(item);
        m_canonicalContent.replace(CanonicalContent::keysOf(merged));
        m_history.reset(std::move(merged));
        historyChanged(true);
        // Stored already (or stored before, for the ids skipped).
        leaveContentInStore(idsOf(shown));
        for (ClipboardItem &item : shown)
            item = heldForm(item, m_canonicalContent.of(item));
        similaritySearchManager().indexItems(shown);
        return result;
    });
}

void ClipboardManager::trimToLimit()
{
    for (qsizetype row = m_maxItems; row < m_history.items().size(); ++row)
        m_canonicalContent.forget(m_history.items().at(row).id);
    m_history.truncate(m_maxItems);
}

QList<ClipboardItem> ClipboardManager::removeFromHistory(const std::function<bool(const ClipboardItem &)> &pick)
{
    QList<ClipboardItem> removed;
    QSet<QUuid> ids;
    for (const ClipboardItem &item : m_history.items()) {
        if (pick(item)) {
            removed.append(item);
            ids.insert(item.id);
        }
    }
    if (removed.isEmpty())
        return removed;
    m_history.removeIf([&](const ClipboardItem &item) { return ids.contains(item.id); });
    for (const ClipboardItem &item : removed)
        m_canonicalContent.forget(item.id);
    return removed;
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

std::optional<ClipboardItem> ClipboardManager::itemForText(const QString &text) const
{
    if (trimWhitespaceAndNewlines(text).isEmpty())
        return std::nullopt;
    PasteboardSnapshot snapshot;
    snapshot.text = text;
    const std::optional<ClipboardContentResult> result = readClipboardContent(snapshot, SourceAppInfo{});
    if (!result)
        return std::nullopt;
    return newItem(*result);
}

// ---- Write-back ----

void ClipboardManager::copyItem(const ClipboardItem &item, std::function<void(bool written)> completion)
{
    m_isInternalCopy = true;
    if (item.isContentInStore()) {
        whenFinished(withContent(item), this, [this, completion = std::move(completion)](
                                                  const QFuture<std::optional<ClipboardItem>> &read) mutable {
            const std::optional<ClipboardItem> full = read.resultCount() > 0 ? read.result() : std::nullopt;
            if (!full) {
                // The clipboard keeps what it holds: there is nothing right to put there.
                diag(QStringLiteral("❌ Failed to copy item to clipboard: its stored data could not be read"));
                m_internalCopyReset.start(m_timings.internalCopyResetMs);
                if (completion)
                    completion(false);
                return;
            }
            m_pasteboard.clearContents();
            completeCopy(*full, writeItemToPasteboard(*full, m_pasteboard), std::move(completion));
        });
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, item, completion = std::move(completion)]() mutable {
            m_pasteboard.clearContents();
            completeCopy(item, writeItemToPasteboard(item, m_pasteboard), std::move(completion));
        },
        Qt::QueuedConnection);
}

void ClipboardManager::completeCopy(const ClipboardItem &item, const std::optional<ClipboardCopyError> &error,
                                    std::function<void(bool written)> completion)
{
    bool written = true;
    if (error) {
        diag(QStringLiteral("❌ Failed to copy item to clipboard: ") + error->description());
        written = m_pasteboard.writeText(item.content);
        if (!written)
            diag(QStringLiteral("❌ The clipboard refused the item's text as well: nothing was copied"));
        m_lastChangeCount = m_pasteboard.changeCount();
    } else {
        m_lastChangeCount = m_pasteboard.changeCount();
        diag(QStringLiteral("✅ Successfully copied item to clipboard: ") + displayName(item.type));
    }
    if (completion)
        QMetaObject::invokeMethod(this, [completion = std::move(completion), written] { completion(written); },
                                  Qt::QueuedConnection);
    // One window for overlapping copies: it closes a second after the last one.
    m_internalCopyReset.start(m_timings.internalCopyResetMs);
}

bool ClipboardManager::restoreNewestItemToClipboard()
{
    if (m_history.items().isEmpty())
        return false;
    copyItem(m_history.items().first());
    return true;
}

// ---- History operations ----

QFuture<bool> ClipboardManager::deleteItem(const QUuid &id)
{
    const bool wasFavorite = favoriteItems().contains(id);
    removeFromHistory([&](const ClipboardItem &item) { return item.id == id; });
    historyChanged(wasFavorite);

    similaritySearchManager().removeItem(id);
    return thenOn(this, m_storage.deleteItem(id), [](bool deleted) {
        if (deleted)
            diag(QStringLiteral("✅ Item deletion completed"));
        return deleted;
    });
}

std::optional<ClipboardItem> ClipboardManager::findItem(const QUuid &id) const
{
    if (const std::optional<qsizetype> row = m_history.rowOf(id))
        return m_history.items().at(*row);
    return m_storage.loadItem(id);
}

QFuture<std::optional<ClipboardItem>> ClipboardManager::withContent(const ClipboardItem &item) const
{
    if (!item.isContentInStore())
        return QtFuture::makeReadyFuture(std::optional<ClipboardItem>(item));
    return m_storage.loadStoredContent(item);
}

ClipboardManager::ContentLoader ClipboardManager::contentLoader() const
{
    return [storage = &m_storage](const ClipboardItem &item) -> std::optional<ClipboardItem> {
        if (!item.isContentInStore())
            return item;
        QFuture<std::optional<ClipboardItem>> read = storage->loadStoredContent(item);
        read.waitForFinished();
        return read.resultCount() > 0 ? read.result() : std::nullopt;
    };
}

QFuture<QList<ClipboardItem>> ClipboardManager::withContents(const QList<ClipboardItem> &items)
{
    QList<QFuture<std::optional<ClipboardItem>>> reads;
    bool anyInStore = false;
    for (const ClipboardItem &item : items) {
        anyInStore |= item.isContentInStore();
        reads.append(withContent(item));
    }
    auto promise = std::make_shared<QPromise<QList<ClipboardItem>>>();
    promise->start();
    if (!anyInStore) {
        promise->addResult(items);
        promise->finish();
        return promise->future();
    }
    whenAllFinished(reads, this, [promise, reads] {
        QList<ClipboardItem> full;
        full.reserve(reads.size());
        for (const QFuture<std::optional<ClipboardItem>> &read : reads)
            if (read.resultCount() > 0 && read.result())
                full.append(*read.result());
        promise->addResult(full);
        promise->finish();
    });
    return promise->future();
}

QFuture<bool> ClipboardManager::toggleFavorite(const QUuid &id)
{
    const std::optional<qsizetype> row = m_history.rowOf(id);
    std::optional<ClipboardItem> item = row ? std::optional(m_history.items().at(*row)) : m_storage.loadItem(id);
    if (!item)
        return QtFuture::makeReadyFuture(false);
    item->isFavorite = !item->isFavorite;
    if (row) {
        m_history.replace(*row, *item);
        historyChanged(true);
    }
    return m_storage.updateItem(*item);
}

QFuture<bool> ClipboardManager::clearAllHistory()
{
    m_canonicalContent.clear();
    m_history.reset({});
    historyChanged(true);
    clearSearch();
    similaritySearchManager().clearIndex();
    diag(QStringLiteral("🗑️ Cleared all clipboard history from hybrid storage"));
    return m_storage.resetAllData();
}

QFuture<int> ClipboardManager::removeDuplicates()
{
    QSet<DuplicateKey> seen;
    const qsizetype removed = removeFromHistory([&](const ClipboardItem &item) {
        DuplicateKey key{int(item.type), m_canonicalContent.of(item)};
        if (seen.contains(key))
            return true;
        seen.insert(std::move(key));
        return false;
    }).size();
    historyChanged(removed > 0);
    diag(QStringLiteral("🧹 Removed %1 duplicate clipboard items").arg(removed));

    // Storage keeps older items than the history shows: its duplicates are found there.
    HistoryStorage *storage = &m_storage;
    const QFuture<QList<QUuid>> stored = runOnPool(backgroundPool(), [storage] {
        QSet<DuplicateKey> storedSeen;
        QList<QUuid> duplicates;
        for (const ClipboardItem &item : storage->loadItems(std::nullopt)) {
            DuplicateKey key{int(item.type), CanonicalContent::keyOf(item)};
            if (storedSeen.contains(key))
                duplicates.append(item.id);
            else
                storedSeen.insert(std::move(key));
        }
        return duplicates;
    });
    return thenOn(this, stored, [this](const QList<QUuid> &duplicates) {
        QList<QFuture<bool>> deletions;
        for (const QUuid &id : duplicates) {
            deletions.append(m_storage.deleteItem(id));
            similaritySearchManager().removeItem(id);
        }
        auto promise = std::make_shared<QPromise<int>>();
        promise->start();
        whenAllFinished(deletions, this, [promise, deletions] {
            int deleted = 0;
            for (const QFuture<bool> &deletion : deletions)
                deleted += deletion.resultCount() > 0 && deletion.result() ? 1 : 0;
            promise->addResult(deleted);
            promise->finish();
        });
        return promise->future();
    });
}

QList<ClipboardItem> ClipboardManager::itemsForCategory(const QString &name) const
{
    QList<CategoryFilter> typeCategories;
    for (const Category &category : m_configurationManager.typeCategories())
        typeCategories.append({category.name, category.type});
    return snipbrook::itemsForCategory(name, m_history.items(), favoriteItems(), typeCategories, m_clock);
}

// ---- Observable fields ----

QSet<QUuid> ClipboardManager::favoriteItems() const
{
    QSet<QUuid> favorites;
    for (const ClipboardItem &item : m_history.items())
        if (item.isFavorite)
            favorites.insert(item.id);
    return favorites;
}

void ClipboardManager::historyChanged(bool favoritesChanged)
{
    emit clipboardItemsChanged();
    if (favoritesChanged)
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
