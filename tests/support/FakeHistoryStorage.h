#pragma once

#include "storage/HistoryStorage.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

namespace snipbrook::test {

// Storage held in memory, safe to call from any thread. Every call is logged as "operation" or
// "operation:content" so tests can check what reached storage and in which order.
class FakeHistoryStorage : public HistoryStorage {
public:
    std::atomic<bool> initialized{true};
    // Runs inside searchItems, on the caller's thread (tests block slow searches with it).
    std::function<void(const QString &query)> onSearch;

    bool isInitialized() const override { return initialized; }
    QList<ClipboardItem> loadItems(std::optional<int> limit) override;
    QList<ClipboardItem> searchItems(const QString &query) override;
    QList<ClipboardItem> loadFavoriteItems() override;
    QFuture<void> saveItem(const ClipboardItem &item) override;
    QFuture<void> updateItem(const ClipboardItem &item) override;
    QFuture<void> deleteItem(const QUuid &id) override;
    QFuture<void> resetAllData() override;

    // Puts items straight into the store, as an earlier run would have left them.
    void seed(const QList<ClipboardItem> &items);
    std::optional<ClipboardItem> stored(const QUuid &id) const;
    int storedCount() const;
    QStringList calls() const;

private:
    void log(const QString &call);

    mutable std::mutex m_mutex;
    QList<ClipboardItem> m_items; // newest first
    QStringList m_calls;
};

} // namespace snipbrook::test
