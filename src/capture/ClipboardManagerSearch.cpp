// The search dispatch of the history: keyword search over storage or search by meaning over the
// in-memory items, published as searchResults. Searches may overlap; only the newest publishes.
#include "ClipboardManager.h"
#include "core/BackgroundPool.h"

#include "model/UnicodeText.h"
#include "search/LocalAISearchManager.h"
#include "core/Async.h"
#include "core/HistoryStorage.h"

#include <QThreadPool>

namespace snipbrook {
namespace {

// Store order (newest first) scored 1.0, 0.95, 0.90, … in double, kept as float; no floor.
QList<SimilaritySearchResult> keywordResults(const QList<ClipboardItem> &hits)
{
    QList<SimilaritySearchResult> results;
    results.reserve(hits.size());
    for (qsizetype i = 0; i < hits.size(); ++i)
        results.append(SimilaritySearchResult::make(hits.at(i), float(1.0 - 0.05 * double(i)), SearchType::keyword));
    return results;
}

} // namespace

void ClipboardManager::search(const QString &query, bool useSemantic)
{
    if (trimWhitespaceAndNewlines(query).isEmpty()) {
        clearSearch();
        return;
    }
    const quint64 generation = ++*m_searchGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, query] {
            setCurrentSearchQuery(query);
            setIsSearching(true);
        },
        Qt::QueuedConnection);

    // Superseded before it got a thread: not worth a store query.
    auto stillWanted = [generation, newest = m_searchGeneration] { return newest->load() == generation; };
    whenFinished(runSearch(query, useSemantic, std::move(stillWanted)), this,
                 [this, generation](const QFuture<QList<SimilaritySearchResult>> &future) {
                     publishSearch(generation, future.resultCount() > 0 ? future.result() : QList<SimilaritySearchResult>{});
                 });
}

QFuture<QList<SimilaritySearchResult>> ClipboardManager::findItems(const QString &query, bool useSemantic)
{
    if (trimWhitespaceAndNewlines(query).isEmpty())
        return QtFuture::makeReadyFuture(QList<SimilaritySearchResult>{});
    return runSearch(query, useSemantic, [] { return true; });
}

QFuture<QList<SimilaritySearchResult>> ClipboardManager::runSearch(const QString &query, bool useSemantic,
                                                                   std::function<bool()> stillWanted)
{
    if (useSemantic)
        return localAISearch().naturalLanguageSearch(query, m_history.items());
    HistoryStorage *storage = &m_storage;
    return runOnPool(backgroundPool(), [storage, query, stillWanted = std::move(stillWanted)] {
        if (!stillWanted())
            return QList<SimilaritySearchResult>{};
        return keywordResults(storage->searchItems(query));
    });
}

void ClipboardManager::publishSearch(quint64 generation, QList<SimilaritySearchResult> results)
{
    if (generation != *m_searchGeneration)
        return; // a newer search or a clear came after this one
    setSearchResults(std::move(results));
    setIsSearching(false);
}

void ClipboardManager::clearSearch()
{
    ++*m_searchGeneration;
    QMetaObject::invokeMethod(
        this,
        [this] {
            setSearchResults({});
            setCurrentSearchQuery({});
            setIsSearching(false);
        },
        Qt::QueuedConnection);
}

LocalAISearchManager &ClipboardManager::localAISearch()
{
    if (!m_localAISearch)
        m_localAISearch = std::make_unique<LocalAISearchManager>(m_vectorStore, m_clock);
    return *m_localAISearch;
}

} // namespace snipbrook
