#pragma once

#include "core/SemanticSearcher.h"
#include "VectorItem.h"
#include "core/VectorSearchResult.h"

#include "model/ClipboardItem.h"
#include "platform/Clock.h"
#include "core/Embedder.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace snipbrook {

// The shared vector index for search by meaning: one entry per item with non-blank content
// (its indexed text, embedding, metadata map and capture time), kept in
// "clipboard_vector_index.json" in the documents folder.
//
// The entries live on the serial queue "vector.store.queue", which alone touches them; embeddings
// are computed on a separate pool. Every operation returns a future that finishes once its work
// is done, including the main-thread step that updates the observables. Operations are called on
// the thread that owns this object (the main thread).
//
// The file is written atomically: at the end of every batch, about two seconds after the last
// single change, and when the application quits. Loading starts on construction.
class VectorStoreManager : public QObject, public SemanticSearcher {
    Q_OBJECT
    Q_PROPERTY(bool isIndexing READ isIndexing NOTIFY isIndexingChanged)
    Q_PROPERTY(int indexedItemsCount READ indexedItemsCount NOTIFY indexedItemsCountChanged)

public:
    static constexpr auto indexFileName = "clipboard_vector_index";
    static constexpr int chunkSize = 10;
    static constexpr std::chrono::milliseconds defaultSaveDelay{2000};

    // The longest the index file waits for `loadAfter`.
    static constexpr std::chrono::milliseconds longestLoadWait{3000};

    // The index file is read on the queue once `loadAfter` has finished (at most longestLoadWait
    // later): the program passes the history's first load, so the two never compete for the
    // processor at start-up. Work queued meanwhile runs after the load, as always.
    VectorStoreManager(const Embedder &embedder, const QString &documentsDirectory,
                       const Clock &clock = SystemClock::instance(), QObject *parent = nullptr,
                       QFuture<void> loadAfter = {});
    // Saves unsaved single changes first.
    ~VectorStoreManager() override;

    QString indexFilePath() const { return m_indexFilePath; }

    // True while a batch runs.
    bool isIndexing() const { return m_runningBatches > 0; }
    // A running count: set by the load and by a clear, +1 per added entry, -1 (not below 0) per
    // removal, whether or not the key was present.
    int indexedItemsCount() const { return m_indexedItemsCount; }

    // Finishes once the index file has been read (or found missing or unreadable).
    QFuture<void> loaded() const { return m_loaded; }

    // Embeds and stores the item, replacing its entry; blank items are skipped. Images are indexed
    // under "Image" or "Image from <application>", never their data.
    QFuture<void> addItem(const ClipboardItem &item);
    // The non-blank items in chunks of ten, each embedded at once (in batched passes), then the
    // file is saved.
    QFuture<void> addItems(const QList<ClipboardItem> &items);
    using ItemLoader = std::function<QList<ClipboardItem>(const QList<QUuid> &ids)>;
    // Brings the index in step with the item store (after the load): entries of items no longer
    // stored are removed, and stored items without an entry are embedded as one batch in the
    // background. `loadItems` reads stored items by id; it is called on this object's thread.
    QFuture<void> reconcileWithStore(const QList<QUuid> &storedIds, const ItemLoader &loadItems);
    QFuture<void> removeItem(const QUuid &id);
    // Empties the index and deletes its file.
    QFuture<void> clearIndex();

    QFuture<QList<VectorSearchResult>> semanticSearch(const QString &query, int limit) override;

    // Writes the whole index to its file now.
    QFuture<void> saveIndex();
    // Writes unsaved single changes and waits for it (blocking); run at quit.
    void flush();

    // A copy of every entry, for diagnostics.
    QFuture<std::vector<VectorItem>> entries();

    void setSaveDelay(std::chrono::milliseconds delay);

    // The metadata map stored with an item's entry.
    static QMap<QString, QString> itemMetadata(const ClipboardItem &item);
    // The text an item is embedded from and stored under.
    static QString indexedText(const ClipboardItem &item);

signals:
    void isIndexingChanged(bool isIndexing);
    void indexedItemsCountChanged(int count);

private:
    struct QueueState;
    struct Batch;
    enum class AddOutcome { added, noEmbedding, superseded };

    // Embeds the items in one batched pass and stores them.
    QFuture<void> addEntries(const QList<ClipboardItem> &items, QThreadPool &pool);
    // The items, then those of `idsToLoad` as `loader` reads them, a page at a time.
    QFuture<void> startBatch(const QList<ClipboardItem> &items, bool saveUnchanged,
                             const QList<QUuid> &idsToLoad = {}, const ItemLoader &loader = {});
    void runNextChunk(const std::shared_ptr<Batch> &batch);
    void finishBatch(const std::shared_ptr<Batch> &batch);
    void afterSingleChange();
    QFuture<void> saveIfChanged();
    void setIndexedItemsCount(int count);
    void setRunningBatches(int count);

    const Embedder &m_embedder;
    const Clock &m_clock;
    const QString m_indexFilePath;
    const std::shared_ptr<QueueState> m_state; // touched only on m_queue

    int m_indexedItemsCount = 0;
    int m_runningBatches = 0;
    quint64 m_lastTicket = 0; // orders operations by call, whatever order their embeddings finish in
    QFuture<void> m_loaded;
    QTimer m_saveTimer;

    // Declared last so they are destroyed first, each waiting for its tasks: the embedding pool
    // before the queue its continuations go to.
    QThreadPool m_queue; // "vector.store.queue"
    QThreadPool m_embeddingPool;      // single changes and queries: never behind a batch
    QThreadPool m_batchEmbeddingPool; // batches and imports, at low priority
};

} // namespace snipbrook
