#include "VectorStoreManager.h"

#include "IndexText.h"
#include "PoolTask.h"
#include "PrivateFiles.h"
#include "QueryContext.h"
#include "VectorIndex.h"
#include "VectorIndexFile.h"

#include "model/Diagnostics.h"
#include "model/UnicodeText.h"
#include "model/Uuid.h"

#include <QCoreApplication>
#include <QDir>
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
        const QByteArray bytes = encodeVectorIndex(index.entries());
        if (const auto error = writeFileAtomically(path, bytes)) {
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
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            diag(QStringLiteral("❌ Failed to load existing vector index: ") + file.errorString());
            return std::nullopt;
        }
        DecodedVectorIndex decoded = decodeVectorIndex(bytes);
        if (decoded.error) {
            diag(QStringLiteral("❌ Failed to load existing vector index: ") + *decoded.error);
            return std::nullopt;
        }
        VectorIndex loaded;
        for (const VectorItem &entry : decoded.entries)
            loaded.insert(entry);
        index = std::move(loaded);
        return static_cast<int>(index.size());
    }
};

struct VectorStoreManager::Batch {
    QList<ClipboardItem> items;
    qsizetype next = 0;
    bool saveUnchanged = true; // false: skip the save when no entry was added
    QPromise<void> promise;
};

VectorStoreManager::VectorStoreManager(const Embedder &embedder, const QString &documentsDirectory,
                                       const Clock &clock, QObject *parent)
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

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(defaultSaveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { saveIfChanged(); });
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &VectorStoreManager::flush);

    m_loaded = runOnPool(m_queue, [state = m_state, path = m_indexFilePath] { return state->load(path); })
                   .then(this, [this](std::optional<int> count) {
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
    return addEntry(item);
}

QFuture<void> VectorStoreManager::addEntry(const ClipboardItem &item)
{
    VectorItem entry{uuidString(item.id), indexedText(item), {}, itemMetadata(item),
                     item.timestamp.isValid() ? item.timestamp : QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)};
    const QString key = entry.id;
    const quint64 ticket = ++m_lastTicket;
    const Embedder *embedder = &m_embedder;

    return runOnPool(m_embeddingPool, [embedder, text = entry.text] { return embedder->generateEmbedding(text); })
        .then([queue = &m_queue, state = m_state, entry = std::move(entry),
               ticket](std::optional<std::vector<float>> vector) mutable {
            // Runs where the embedding finished; the map is touched on the queue only.
            return runOnPool(*queue, [state, entry = std::move(entry), ticket, vector = std::move(vector)]() mutable {
                if (!vector) {
                    diag(QStringLiteral("⚠️ Failed to generate embedding for item: ") + entry.id);
                    return AddOutcome::noEmbedding;
                }
                entry.embedding = std::move(*vector);
                return state->add(entry, ticket) ? AddOutcome::added : AddOutcome::superseded;
            });
        })
        .unwrap()
        .then(this, [this, key](AddOutcome outcome) {
            if (outcome == AddOutcome::added) {
                setIndexedItemsCount(m_indexedItemsCount + 1);
                diag(QStringLiteral("✅ Added item to vector index: ") + key);
                afterSingleChange();
            } else if (outcome == AddOutcome::superseded) {
                diag(QStringLiteral("ℹ️ Vector index entry already replaced or removed by a later change: ") + key);
            }
        });
}

QFuture<void> VectorStoreManager::addItems(const QList<ClipboardItem> &items) { return startBatch(items, true); }

QFuture<void> VectorStoreManager::startBatch(const QList<ClipboardItem> &items, bool saveUnchanged)
{
    auto batch = std::make_shared<Batch>();
    batch->saveUnchanged = saveUnchanged;
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
    if (batch->next >= batch->items.size()) {
        finishBatch(batch);
        return;
    }
    QList<QFuture<void>> chunk;
    const qsizetype end = std::min(batch->next + chunkSize, batch->items.size());
    for (; batch->next < end; ++batch->next)
        chunk.append(addEntry(batch->items.at(batch->next)));
    QtFuture::whenAll(chunk.begin(), chunk.end()).then(this, [this, batch](const QList<QFuture<void>> &) {
        runNextChunk(batch);
    });
}

void VectorStoreManager::finishBatch(const std::shared_ptr<Batch> &batch)
{
    (batch->saveUnchanged ? saveIndex() : saveIfChanged()).then(this, [this, batch] {
        setRunningBatches(m_runningBatches - 1);
        diag(QStringLiteral("✅ Batch indexed %1 items").arg(batch->items.size()));
        batch->promise.finish();
    });
}

QFuture<void> VectorStoreManager::addMissingItems(const QList<ClipboardItem> &items)
{
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    // Queued behind the load, so the entries read from the file count as present.
    runOnPool(m_queue, [state = m_state, items] {
        QList<ClipboardItem> missing;
        for (const ClipboardItem &item : items)
            if (item.hasNonBlankContent() && !state->index.contains(uuidString(item.id)))
                missing.append(item);
        return missing;
    }).then(this, [this, promise](const QList<ClipboardItem> &missing) {
        if (missing.isEmpty()) {
            promise->finish();
            return;
        }
        diag(QStringLiteral("🔄 Indexing %1 stored items missing from the vector index").arg(missing.size()));
        // Items whose embedding keeps failing are tried at every start; they need not rewrite the file.
        startBatch(missing, false).then(this, [promise] { promise->finish(); });
    });
    return promise->future();
}

QFuture<void> VectorStoreManager::removeItem(const QUuid &id)
{
    const QString key = uuidString(id);
    return runOnPool(m_queue, [state = m_state, key, ticket = ++m_lastTicket] { state->remove(key, ticket); })
        .then(this, [this, key] {
            setIndexedItemsCount(std::max(0, m_indexedItemsCount - 1));
            diag(QStringLiteral("✅ Removed item from vector index: ") + key);
            afterSingleChange();
        });
}

QFuture<void> VectorStoreManager::clearIndex()
{
    m_saveTimer.stop();
    // The file goes in the same queue step as the entries, so no save can slip in between.
    return runOnPool(m_queue, [state = m_state, path = m_indexFilePath, ticket = ++m_lastTicket] {
               state->clear(ticket);
               QFile::remove(path);
           })
        .then(this, [this] {
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
    return runOnPool(m_embeddingPool, [embedder, query] { return embedder->generateEmbedding(query); })
        .then([queue = &m_queue, state = m_state, query, context, limit](std::optional<std::vector<float>> vector) {
            return runOnPool(*queue, [state, query, context, limit, vector = std::move(vector)] {
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
        })
        .unwrap();
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
