#pragma once

#include "core/HistoryStorage.h"

#include <QFuture>

namespace snipbrook::test {

// Storage that keeps nothing: every write succeeds at once and reads give what `seed` holds, for
// measuring the history and the views without a disk in the way.
class NullHistoryStorage : public HistoryStorage {
public:
    QList<ClipboardItem> seed;

    bool isInitialized() const override { return true; }
    QFuture<void> initialized() const override { return QtFuture::makeReadyFuture(); }
    QList<ClipboardItem> loadItems(std::optional<int>) override { return seed; }
    QFuture<std::optional<ClipboardItem>> loadStoredContent(const ClipboardItem &item) override
    {
        return QtFuture::makeReadyFuture(std::optional<ClipboardItem>(item));
    }
    QList<ClipboardItem> searchItems(const QString &) override { return {}; }
    QList<ClipboardItem> loadFavoriteItems() override { return {}; }
    std::optional<ClipboardItem> loadItem(const QUuid &) override { return std::nullopt; }
    QFuture<bool> saveItem(const ClipboardItem &) override { return QtFuture::makeReadyFuture(true); }
    QFuture<BatchInsertResult> saveItems(const QList<ClipboardItem> &items) override
    {
        return QtFuture::makeReadyFuture(BatchInsertResult{true, int(items.size()), 0});
    }
    QFuture<bool> updateItem(const ClipboardItem &) override { return QtFuture::makeReadyFuture(true); }
    QFuture<bool> deleteItem(const QUuid &) override { return QtFuture::makeReadyFuture(true); }
    QFuture<bool> resetAllData() override { return QtFuture::makeReadyFuture(true); }
    QFuture<QList<QUuid>> deleteItemsOlderThan(const QDateTime &) override
    {
        return QtFuture::makeReadyFuture(QList<QUuid>{});
    }
};

} // namespace snipbrook::test
