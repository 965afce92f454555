#include "VectorStoreManager.h"

#include "IndexText.h"
#include "core/Async.h"
#include "core/Memory.h"
#include "PrivateFiles.h"
#include "QueryContext.h"
#include "VectorIndex.h"
#include "VectorIndexFile.h"

#include "model/Diagnostics.h"
#include "model/UnicodeText.h"
#include "model/Uuid.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QHash>
#include <QPromise>

namespace snipbrook {

// What only the queue touches. Operations carry tickets in call order, so an addition whose
// embedding finishes after a later removal, clear or re-addition of the same key does not undo it.
struct VectorStoreManager::QueueState {
    VectorIndex index;
    bool dirty = false; // changes not yet in the file
    quint64 clearedAt = 0;
    QHash<QString, quint64> changedAt; // ticket of each key's last applied addition or removal

    bool isCurrent(const QString &key, quint64 ticket) const
    {
        return ticket > clearedAt && ticket > changedAt.value(key, 0);
    }

    bool add(const VectorItem &item, quint64 ticket)
    {
        if (!isCurrent(item.id, ticket))
            return false;
        index.insert(item);
        changedAt.insert(item.id, ticket);
        dirty = true;
        return true;
    }

    void remove(const QString &key, quint64 ticket)
    {
        index.remove(key);
        changedAt.insert(key, std::max(ticket, changedAt.value(key, 0)));
        dirty = true;
    }

    void clear(quint64 ticket)
    {
        index.clear();
        changedAt.clear();
        clearedAt = ticket;
        dirty = false;
    }

    void save(const QString &path)
    {
        const auto error = writeFileAtomically(path, [this](QIODevice &file) { return writeVectorIndex(index, file); });
        if (error) {
            diag(QStringLiteral("❌ Failed to save vector index: ") + *error);
            return;
        }
        dirty = false;
        diag(QStringLiteral("✅ Vector index saved to: ") + path);
    }

    // The number of entries read, or nothing when the file was missing or unreadable.
    std::optional<int> load(const QString &path)
    {
        QFile file(path);
        if (!file.exists()) {
            diag(QStringLiteral("ℹ️ No existing vector index found, starting fresh"));
            return std::nullopt;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            diag(QStringLiteral("❌ Failed to load existing vector index: ") + file.errorString());
            return std::nullopt;
        }
        // Mapped rather than read: a large file costs no heap, and the pages go when it is closed.
        QByteArray readBytes;
        QByteArrayView bytes;
        if (file.size() == 0) {
            bytes = {};
        } else if (const uchar *mapped = file.map(0, file.size())) {
            bytes = QByteArrayView(mapped, file.size());
        } else {
            readBytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                diag(QStringLiteral("❌ Failed to load existing vector index: ") + file.errorString());
                return std::nullopt;
            }
            bytes = readBytes;
        }
        std::optional<int> count;
        {
            // Filled as the file is read: the decoded entries are never all held beside the index.
            VectorIndex loaded;
            const VectorIndexDecoding decoding = decodeVectorIndex(
                bytes, {[&](const VectorItem &entry) { loaded.insert(entry); },
                        [&](const QString &key) { loaded.remove(key); }});
            if (decoding.error) {
                diag(QStringLiteral("❌ Failed to load existing vector index: ") + *decoding.error);
            } else {
                if (!decoding.allObjects)
                    loaded.clear();
                index = std::move(loaded);
                count = static_cast<int>(index.size());
            }
        }
        // Decoding tens of thousands of entries leaves freed heap behind; hand it back.
        releaseFreedMemory();
        return count;
    }
};

struct VectorStoreManager::Batch {
    QList<ClipboardItem> items;
    qsizetype next = 0;
    qsizetype total = 0;
    // Items still to be read, a page at a time, so a batch of 100,000 never holds them all.
    QList<QUuid> pendingIds;
    ItemLoader loader;
    bool saveUnchanged = true; // false: skip the save when no entry was added
    QPromise<void> promise;
};

VectorStoreManager::VectorStoreManager(const Embedder &embedder, const QString &documentsDirectory,
                                       const Clock &clock, QObject *parent, QFuture<void> loadAfter)
    : QObject(parent),
      m_embedder(embedder),
      m_clock(clock),
      m_indexFilePath(QDir(documentsDirectory).filePath(QLatin1String(indexFileName) + QLatin1String(".json"))),
      m_state(std::make_shared<QueueState>())
{
    m_queue.setObjectName(QStringLiteral("vector.store.queue"));
    m_queue.setMaxThreadCount(1);
    m_queue.setExpiryTimeout(-1);
    m_embeddingPool.setObjectName(QStringLiteral("vector.store.embedding"));
    // Batches (an import of thousands of items) embed on one low-priority thread, so captures,
    // searches and the rest of the desktop keep the other cores.
    m_batchEmbeddingPool.setObjectName(QStringLiteral("vector.store.batch"));
    m_batchEmbeddingPool.setMaxThreadCount(1);
    m_batchEmbeddingPool.setThreadPriority(QThread::LowPriority);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(defaultSaveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { saveIfChanged(); });
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &VectorStoreManager::flush);

    const auto load = [state = m_state, path = m_indexFilePath, loadAfter] {
        QElapsedTimer waited;
        waited.start();
        while (!loadAfter.isFinished() && waited.elapsed() < longestLoadWait.count())
            QThread::msleep(2);
        return state->load(path);
    };
    m_loaded = thenOn(this, runOnPool(m_queue, load),
                      [this](std::optional<int> count) {
                          if (count) {
                              setIndexedItemsCount(*count);
                              diag(QStringLiteral("✅ Loaded existing vector index with %1 items").arg(*count));
                          }
                          diag(QStringLiteral("✅ VectorStoreManager initialized successfully"));
                      });
}

VectorStoreManager::~VectorStoreManager() { flush(); }

void VectorStoreManager::flush()
{
    m_saveTimer.stop();
    // Embeddings in flight hand their entries to the queue when they finish; wait for that first.
    m_embeddingPool.waitForDone();
    m_batchEmbeddingPool.waitForDone();
    saveIfChanged().waitForFinished();
}

QFuture<void> VectorStoreManager::saveIfChanged()
{
    return runOnPool(m_queue, [state = m_state, path = m_indexFilePath] {
        if (state->dirty)
            state->save(path);
    });
}

void VectorStoreManager::setSaveDelay(std::chrono::milliseconds delay) { m_saveTimer.setInterval(delay); }

QMap<QString, QString> VectorStoreManager::itemMetadata(const ClipboardItem &item)
{
    QMap<QString, QString> map;
    map.insert(QStringLiteral("type"), rawValue(item.type));
    map.insert(QStringLiteral("timestamp"), internetDateTime(item.timestamp));
    map.insert(QStringLiteral("isFavorite"), item.isFavorite ? QStringLiteral("true") : QStringLiteral("false"));
    if (const auto &metadata = item.metadata) {
        if (metadata->sourceApp)
            map.insert(QStringLiteral("sourceApp"), *metadata->sourceApp);
        if (metadata->sourceAppBundle)
            map.insert(QStringLiteral("sourceAppBundle"), *metadata->sourceAppBundle);
        if (metadata->language)
            map.insert(QStringLiteral("language"), *metadata->language);
        if (metadata->url)
            map.insert(QStringLiteral("url"), *metadata->url);
        if (metadata->size)
            map.insert(QStringLiteral("size"), QString::number(*metadata->size));
    }
    return map;
}

QString VectorStoreManager::indexedText(const ClipboardItem &item)
{
    if (item.type != ClipboardItemType::image)
        return item.content;
    // Embedding Base64 data gives vectors that match unrelated queries and bloats the file; an
    // image is found by what is known about it.
    QString text = QStringLiteral("Image");
    const std::optional<QString> app = item.metadata ? item.metadata->sourceApp : std::nullopt;
    if (app && !app->trimmed().isEmpty() && *app != QLatin1String("Unknown"))
        text += QStringLiteral(" from ") + *app;
    return text;
}

QFuture<void> VectorStoreManager::addItem(const ClipboardItem &item)
{
    if (!item.hasNonBlankContent())
        return QtFuture::makeReadyFuture();
    return addEntries({item}, m_embeddingPool);
}

QFuture<void> VectorStoreManager::addEntries(const QList<ClipboardItem> &items, QThreadPool &pool)
{
    using Vectors = std::vector<std::optional<std::vector<float>>>;
    std::vector<VectorItem> entries;
    std::vector<quint64> tickets;
    QStringList texts, keys;
    for (const ClipboardItem &item : items) {
        entries.push_back({uuidString(item.id), indexedText(item), {}, itemMetadata(item),
                           item.timestamp.isValid() ? item.timestamp : QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)});
        tickets.push_back(++m_lastTicket);
        texts.append(entries.back().text);
        keys.append(entries.back().id);
    }
    const Embedder *embedder = &m_embedder;

    const QFuture<std::vector<AddOutcome>> stored = runOnPoolThen(
        pool,
        [embedder, texts]() -> Vectors {
            // One pass for several texts is several times cheaper per text.
            if (texts.size() == 1)
                return {embedder->generateEmbedding(texts.first())};
            return embedder->generateEmbeddings(texts);
        },
        m_queue, // the map is touched on the queue only
        [state = m_state, entries = std::move(entries), tickets](Vectors vectors) mutable {
            std::vector<AddOutcome> outcomes;
            for (size_t i = 0; i < entries.size(); ++i) {
                if (i >= vectors.size() || !vectors[i]) {
                    diag(QStringLiteral("⚠️ Failed to generate embedding for item: ") + entries[i].id);
                    outcomes.push_back(AddOutcome::noEmbedding);
                    continue;
                }
                entries[i].embedding = std::move(*vectors[i]);
                outcomes.push_back(state->add(entries[i], tickets[i]) ? AddOutcome::added : AddOutcome::superseded);
            }
            return outcomes;
        });
    return thenOn(this, stored, [this, keys](const std::vector<AddOutcome> &outcomes) {
            for (size_t i = 0; i < outcomes.size(); ++i) {
                const QString &key = keys.at(qsizetype(i));
                if (outcomes[i] == AddOutcome::added) {
                    setIndexedItemsCount(m_indexedItemsCount + 1);
                    diag(QStringLiteral("✅ Added item to vector index: ") + key);
                    afterSingleChange();
                } else if (outcomes[i] == AddOutcome::superseded) {
                    diag(QStringLiteral("ℹ️ Vector index entry already replaced or removed by a later change: ") + key);
                }
            }
        });
}

QFuture<void> VectorStoreManager::addItems(const QList<ClipboardItem> &items) { return startBatch(items, true); }

QFuture<void> VectorStoreManager::startBatch(const QList<ClipboardItem> &items, bool saveUnchanged,
                                             const QList<QUuid> &idsToLoad, const ItemLoader &loader)
{
    auto batch = std::make_shared<Batch>();
    batch->saveUnchanged = saveUnchanged;
    batch->pendingIds = idsToLoad;
    batch->loader = loader;
    for (const ClipboardItem &item : items)
        if (item.hasNonBlankContent())
            batch->items.append(item);
    batch->promise.start();
    QFuture<void> done = batch->promise.future();
    setRunningBatches(m_runningBatches + 1);
    runNextChunk(batch);
    return done;
}

void VectorStoreManager::runNextChunk(const std::shared_ptr<Batch> &batch)
{
    constexpr qsizetype pageSize = 200;
    while (batch->next >= batch->items.size() && !batch->pendingIds.isEmpty()) {
        const QList<QUuid> page = batch->pendingIds.first(std::min(pageSize, batch->pendingIds.size()));
        batch->pendingIds.remove(0, page.size());
        batch->items.clear();
        batch->next = 0;
        for (const ClipboardItem &item : batch->loader(page))
            if (item.hasNonBlankContent())
                batch->items.append(item);
    }
    if (batch->next >= batch->items.size()) {
        finishBatch(batch);
        return;
    }
    // The chunk is embedded in as many batched passes as the pool runs at once.
    const qsizetype chunk = std::min<qsizetype>(chunkSize, batch->items.size() - batch->next);
    const qsizetype groups = std::clamp<qsizetype>(m_batchEmbeddingPool.maxThreadCount(), 1, chunk);
    QList<QFuture<void>> parts;
    for (qsizetype group = 0; group < groups; ++group) {
        const qsizetype size = chunk / groups + (group < chunk % groups ? 1 : 0);
        parts.append(addEntries(batch->items.mid(batch->next, size), m_batchEmbeddingPool));
        batch->next += size;
        batch->total += size;
    }
    whenAllFinished(parts, this, [this, batch] { runNextChunk(batch); });
}

void VectorStoreManager::finishBatch(const std::shared_ptr<Batch> &batch)
{
    whenFinished(batch->saveUnchanged ? saveIndex() : saveIfChanged(), this, [this, batch](const QFuture<void> &) {
        setRunningBatches(m_runningBatches - 1);
        diag(QStringLiteral("✅ Batch indexed %1 items").arg(batch->total));
        batch->promise.finish();
    });
}

QFuture<void> VectorStoreManager::reconcileWithStore(const QList<QUuid> &storedIds, const ItemLoader &loadItems)
{
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    // Queued behind the load, so the entries read from the file count as present.
    struct Difference {
        QList<QUuid> missing;   // stored, no entry
        QList<QUuid> orphaned;  // an entry, not stored when the ids were read
    };
    const QFuture<Difference> compared = runOnPool(m_queue, [state = m_state, storedIds] {
        QSet<QString> stored;
        stored.reserve(storedIds.size());
        for (const QUuid &id : storedIds)
            stored.insert(uuidString(id));
        Difference difference;
        for (const QUuid &id : storedIds)
            if (!state->index.contains(uuidString(id)))
                difference.missing.append(id);
        for (const QString &key : state->index.keys())
            if (!stored.contains(key))
                if (const auto id = parseUuid(key))
                    difference.orphaned.append(*id);
        return difference;
    });
    whenFinished(compared, this, [this, promise, loadItems](const QFuture<Difference> &done) {
        const Difference difference = done.resultCount() > 0 ? done.result() : Difference{};
        // An orphan may be an item stored since the ids were read: only what is still not stored goes.
        QSet<QUuid> storedSince;
        if (!difference.orphaned.isEmpty())
            for (const ClipboardItem &item : loadItems(difference.orphaned))
                storedSince.insert(item.id);
        int removed = 0;
        for (const QUuid &id : difference.orphaned) {
            if (!storedSince.contains(id)) {
                removeItem(id);
                ++removed;
            }
        }
        if (removed > 0)
            diag(QStringLiteral("🧹 Removed %1 vector index entries whose items are no longer stored").arg(removed));
        if (difference.missing.isEmpty()) {
            promise->finish();
            return;
        }
        diag(QStringLiteral("🔄 Indexing %1 stored items missing from the vector index").arg(difference.missing.size()));
        // Read a page at a time as the batch goes. Items with nothing to embed (blank), or whose
        // embedding keeps failing, are found again at every start; they need not rewrite the file.
        whenFinished(startBatch({}, false, difference.missing, loadItems), this,
                     [promise](const QFuture<void> &) { promise->finish(); });
    });
    return promise->future();
}

QFuture<void> VectorStoreManager::removeItem(const QUuid &id)
{
    const QString key = uuidString(id);
    return thenOn(this, runOnPool(m_queue, [state = m_state, key, ticket = ++m_lastTicket] { state->remove(key, ticket); }),
                  [this, key] {
            setIndexedItemsCount(std::max(0, m_indexedItemsCount - 1));
            diag(QStringLiteral("✅ Removed item from vector index: ") + key);
            afterSingleChange();
        });
}

QFuture<void> VectorStoreManager::clearIndex()
{
    m_saveTimer.stop();
    // The file goes in the same queue step as the entries, so no save can slip in between.
    const QFuture<void> cleared = runOnPool(m_queue, [state = m_state, path = m_indexFilePath, ticket = ++m_lastTicket] {
        state->clear(ticket);
        removeFileReporting(path, QStringLiteral("the vector index file"));
    });
    return thenOn(this, cleared, [this] {
            setIndexedItemsCount(0);
            diag(QStringLiteral("🧹 Vector index cleared"));
        });
}

QFuture<QList<VectorSearchResult>> VectorStoreManager::semanticSearch(const QString &query, int limit)
{
    if (trimWhitespaceAndNewlines(query).isEmpty())
        return QtFuture::makeReadyFuture(QList<VectorSearchResult>{});
    const Embedder *embedder = &m_embedder;
    // The calendar is read when the search is asked for, on the caller's thread.
    const QueryContext context = QueryContext::fromQuery(query, m_clock);
    return runOnPoolThen(
        m_embeddingPool, [embedder, query] { return embedder->generateEmbedding(query); }, m_queue,
        [state = m_state, query, context, limit](std::optional<std::vector<float>> vector) {
            if (!vector) {
                diag(QStringLiteral("❌ Failed to generate embedding for query: ") + query);
                return QList<VectorSearchResult>{};
            }
            QList<VectorSearchResult> results = state->index.search(*vector, context, limit);
            diag(QStringLiteral("🔍 Vector search found ") + QString::number(results.size())
                 + QStringLiteral(" results for: '") + query + QStringLiteral("' from ")
                 + QString::number(state->index.size()) + QStringLiteral(" items"));
            return results;
        });
}

QFuture<void> VectorStoreManager::saveIndex()
{
    return runOnPool(m_queue, [state = m_state, path = m_indexFilePath] { state->save(path); });
}

QFuture<std::vector<VectorItem>> VectorStoreManager::entries()
{
    return runOnPool(m_queue, [state = m_state] { return state->index.entries(); });
}

void VectorStoreManager::afterSingleChange() { m_saveTimer.start(); }

void VectorStoreManager::setIndexedItemsCount(int count)
{
    if (count == m_indexedItemsCount)
        return;
    m_indexedItemsCount = count;
    emit indexedItemsCountChanged(count);
}

void VectorStoreManager::setRunningBatches(int count)
{
    const bool was = isIndexing();
    m_runningBatches = count;
    if (was != isIndexing())
        emit isIndexingChanged(isIndexing());
}

} // namespace snipbrook
