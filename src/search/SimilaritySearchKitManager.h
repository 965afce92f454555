#pragma once

#include "model/ClipboardItem.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <optional>

namespace snipbrook {

// An in-memory mirror of the history keyed by item id, kept up to date in the background. The
// map is touched only on its own serial queue; the two counters change only on the main thread.
class SimilaritySearchKitManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isIndexing READ isIndexing NOTIFY isIndexingChanged)
    Q_PROPERTY(int indexedItemsCount READ indexedItemsCount NOTIFY indexedItemsCountChanged)

public:
    static constexpr int batchSize = 10;

    explicit SimilaritySearchKitManager(QObject *parent = nullptr);
    // Waits for the queue's running and queued work.
    ~SimilaritySearchKitManager() override;

    // Each finishes when its map change has run on the queue (the count follows on the main
    // thread). Call them on the main thread.
    QFuture<void> addItem(const ClipboardItem &item);
    QFuture<void> removeItem(const QUuid &id);
    QFuture<void> clearIndex();
    // Adds all items in batches of ten; a batch starts when the previous one has finished.
    QFuture<void> indexItems(const QList<ClipboardItem> &items);

    // The mirrored item with that id, read on the queue.
    QFuture<std::optional<ClipboardItem>> indexedItem(const QUuid &id);

    bool isIndexing() const { return m_runningIndexings > 0; }
    int indexedItemsCount() const { return m_indexedItemsCount; }

signals:
    void isIndexingChanged();
    void indexedItemsCountChanged();

private:
    // One queue task for the items, counted together on the main thread.
    QFuture<void> addItems(const QList<ClipboardItem> &items);
    void indexBatchesFrom(QList<ClipboardItem> items, qsizetype start, std::shared_ptr<QPromise<void>> done);
    void finishIndexing(const std::shared_ptr<QPromise<void>> &done);
    void setIndexedItemsCount(int count);

    QThreadPool m_indexQueue;
    QHash<QString, ClipboardItem> m_indexedItems; // only on m_indexQueue
    int m_runningIndexings = 0;
    int m_indexedItemsCount = 0;
};

} // namespace snipbrook
