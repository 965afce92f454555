#include "FakeHistoryStorage.h"

#include "model/UnicodeText.h"

#include <algorithm>

namespace snipbrook::test {
namespace {

QFuture<void> done() { return QtFuture::makeReadyFuture(); }

void sortNewestFirst(QList<ClipboardItem> &items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const ClipboardItem &a, const ClipboardItem &b) { return a.timestamp > b.timestamp; });
}

} // namespace

QList<ClipboardItem> FakeHistoryStorage::loadItems(std::optional<int> limit)
{
    log(QStringLiteral("loadItems"));
    std::lock_guard lock(m_mutex);
    return limit ? m_items.mid(0, *limit) : m_items;
}

QList<ClipboardItem> FakeHistoryStorage::searchItems(const QString &query)
{
    log(QStringLiteral("searchItems:") + query);
    if (onSearch)
        onSearch(query);
    const QString needle = foldCaseAndDiacritics(query);
    std::lock_guard lock(m_mutex);
    QList<ClipboardItem> hits;
    for (const ClipboardItem &item : m_items) {
        if (foldCaseAndDiacritics(item.content).contains(needle) || foldCaseAndDiacritics(item.preview).contains(needle))
            hits.append(item);
    }
    return hits;
}

QList<ClipboardItem> FakeHistoryStorage::loadFavoriteItems()
{
    log(QStringLiteral("loadFavoriteItems"));
    std::lock_guard lock(m_mutex);
    QList<ClipboardItem> favorites;
    std::copy_if(m_items.cbegin(), m_items.cend(), std::back_inserter(favorites),
                 [](const ClipboardItem &item) { return item.isFavorite; });
    return favorites;
}

QFuture<void> FakeHistoryStorage::saveItem(const ClipboardItem &item)
{
    log(QStringLiteral("saveItem:") + item.content);
    std::lock_guard lock(m_mutex);
    m_items.removeIf([&](const ClipboardItem &stored) { return stored.id == item.id; });
    m_items.append(item);
    sortNewestFirst(m_items);
    return done();
}

QFuture<void> FakeHistoryStorage::updateItem(const ClipboardItem &item)
{
    log(QStringLiteral("updateItem:") + item.content);
    std::lock_guard lock(m_mutex);
    for (ClipboardItem &stored : m_items) {
        if (stored.id == item.id)
            stored = item;
    }
    return done();
}

QFuture<void> FakeHistoryStorage::deleteItem(const QUuid &id)
{
    std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_items.cbegin(), m_items.cend(), [&](const ClipboardItem &item) { return item.id == id; });
    m_calls.append(QStringLiteral("deleteItem:") + (found == m_items.cend() ? QStringLiteral("?") : found->content));
    m_items.removeIf([&](const ClipboardItem &item) { return item.id == id; });
    return done();
}

QFuture<void> FakeHistoryStorage::resetAllData()
{
    log(QStringLiteral("resetAllData"));
    std::lock_guard lock(m_mutex);
    m_items.clear();
    return done();
}

void FakeHistoryStorage::seed(const QList<ClipboardItem> &items)
{
    std::lock_guard lock(m_mutex);
    m_items.append(items);
    sortNewestFirst(m_items);
}

std::optional<ClipboardItem> FakeHistoryStorage::stored(const QUuid &id) const
{
    std::lock_guard lock(m_mutex);
    for (const ClipboardItem &item : m_items) {
        if (item.id == id)
            return item;
    }
    return std::nullopt;
}

int FakeHistoryStorage::storedCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_items.size());
}

QStringList FakeHistoryStorage::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void FakeHistoryStorage::log(const QString &call)
{
    std::lock_guard lock(m_mutex);
    m_calls.append(call);
}

} // namespace snipbrook::test
