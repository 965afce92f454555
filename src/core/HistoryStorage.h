#pragma once

#include "model/ClipboardItem.h"

#include <QFuture>
#include <QList>
#include <QUuid>

#include <optional>

namespace snipbrook {

// What became of storing a batch of items.
struct BatchInsertResult {
    bool saved = false;  // false: the batch failed and nothing of it was stored
    int inserted = 0;    // records written
    int skipped = 0;     // items whose id was already stored (or repeated within the batch)
};

// What the history needs of its storage facade: the durable records and the vector index kept
// in step. Synchronous reads may be called from any thread (the store serialises them on its
// own thread); asynchronous operations return a future that finishes when all their work is
// done, and callers never have to wait for it.
class HistoryStorage {
public:
    virtual ~HistoryStorage() = default;

    // True once start-up, including any one-time import, has finished.
    virtual bool isInitialized() const = 0;
    // Finishes when isInitialized turns true.
    virtual QFuture<void> initialized() const = 0;

    // Newest first; without a limit, every item. As the history holds them: large images come
    // without their data (isContentInStore), which loadStoredContent gives back. Read off the main
    // thread; the caller waits.
    virtual QList<ClipboardItem> loadItems(std::optional<int> limit) = 0;
    // The item with its content and preview as stored, read off the calling thread (safe on any
    // thread). Nothing, with a log line, when the record is gone or cannot be read.
    virtual QFuture<std::optional<ClipboardItem>> loadStoredContent(const ClipboardItem &item) = 0;
    virtual QList<ClipboardItem> searchItems(const QString &query) = 0;
    virtual QList<ClipboardItem> loadFavoriteItems() = 0;
    virtual std::optional<ClipboardItem> loadItem(const QUuid &id) = 0;

    // Each future finishes once all the operation's work is done (the record, then the index),
    // with false when the item store did not take the change.
    virtual QFuture<bool> saveItem(const ClipboardItem &item) = 0;
    // Stores the items in one transaction, off the calling thread, skipping ids already stored;
    // the future finishes once they are stored. They are indexed afterwards in the background.
    virtual QFuture<BatchInsertResult> saveItems(const QList<ClipboardItem> &items) = 0;
    virtual QFuture<bool> updateItem(const ClipboardItem &item) = 0;
    virtual QFuture<bool> deleteItem(const QUuid &id) = 0;
    virtual QFuture<bool> resetAllData() = 0;
    // Deletes the items captured before the cutoff that are not favourites, from the records and
    // the index; the future holds their ids (none when the store failed).
    virtual QFuture<QList<QUuid>> deleteItemsOlderThan(const QDateTime &cutoff) = 0;
};

} // namespace snipbrook
