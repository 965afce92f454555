#include "SimilaritySearchKitManager.h"

#include "core/Async.h"

#include "model/Diagnostics.h"
#include "model/Uuid.h"

#include <QPromise>

namespace snipbrook {

SimilaritySearchKitManager::SimilaritySearchKitManager(QObject *parent) : QObject(parent)
{
    // One task at a time, in order: the map needs no lock.
    m_indexQueue.setObjectName(QStringLiteral("similarity.search.queue"));
    m_indexQueue.setMaxThreadCount(1);
    m_indexQueue.setThreadPriority(QThread::HighPriority);
    diag(QStringLiteral("✅ SimilaritySearchKitManager initialized with local implementation"));
}

SimilaritySearchKitManager::~SimilaritySearchKitManager()
{
    // Queued tasks use the map; counts they post to this object are dropped with it.
    m_indexQueue.waitForDone();
}

QFuture<void> SimilaritySearchKitManager::addItem(const ClipboardItem &item)
{
    return addItems({item});
}

QFuture<void> SimilaritySearchKitManager::addItems(const QList<ClipboardItem> &items)
{
    const QFuture<void> added = runOnPool(m_indexQueue, [this, items] {
        for (const ClipboardItem &item : items)
            m_indexedItems.insert(uuidString(item.id), item);
    });
    return thenOn(this, added, [this, count = int(items.size())] { setIndexedItemsCount(m_indexedItemsCount + count); });
}

QFuture<void> SimilaritySearchKitManager::removeItem(const QUuid &id)
{
    const QFuture<void> removed = runOnPool(m_indexQueue, [this, id] { m_indexedItems.remove(uuidString(id)); });
    // Lowered even when nothing was removed: a running count, never below zero.
    return thenOn(this, removed, [this] { setIndexedItemsCount(qMax(0, m_indexedItemsCount - 1)); });
}

QFuture<void> SimilaritySearchKitManager::clearIndex()
{
    const QFuture<void> cleared = runOnPool(m_indexQueue, [this] { m_indexedItems.clear(); });
    return thenOn(this, cleared, [this] { setIndexedItemsCount(0); });
}

QFuture<std::optional<ClipboardItem>> SimilaritySearchKitManager::indexedItem(const QUuid &id)
{
    return runOnPool(m_indexQueue, [this, id]() -> std::optional<ClipboardItem> {
        const auto it = m_indexedItems.constFind(uuidString(id));
        return it == m_indexedItems.constEnd() ? std::nullopt : std::optional(*it);
    });
}

QFuture<void> SimilaritySearchKitManager::indexItems(const QList<ClipboardItem> &items)
{
    auto done = std::make_shared<QPromise<void>>();
    done->start();
    QFuture<void> future = done->future();
    if (++m_runningIndexings == 1)
        emit isIndexingChanged();
    indexBatchesFrom(items, 0, std::move(done));
    return future;
}

void SimilaritySearchKitManager::indexBatchesFrom(QList<ClipboardItem> items, qsizetype start,
                                                  std::shared_ptr<QPromise<void>> done)
{
    if (start >= items.size()) {
        finishIndexing(done);
        return;
    }
    const qsizetype end = qMin(start + batchSize, items.size());
    const QFuture<void> added = addItems(items.mid(start, end - start));
    whenFinished(added, this,
                 [this, items = std::move(items), end, done = std::move(done)](const QFuture<void> &) mutable {
                     indexBatchesFrom(std::move(items), end, std::move(done));
                 });
}

void SimilaritySearchKitManager::finishIndexing(const std::shared_ptr<QPromise<void>> &done)
{
    // Several indexings may overlap; the flag drops when the last one ends.
    if (--m_runningIndexings == 0)
        emit isIndexingChanged();
    done->finish();
}

void SimilaritySearchKitManager::setIndexedItemsCount(int count)
{
    m_indexedItemsCount = count;
    emit indexedItemsCountChanged();
}

} // namespace snipbrook
