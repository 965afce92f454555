#include "FakeSemanticSearcher.h"

namespace snipbrook::test {

QFuture<QList<VectorSearchResult>> FakeSemanticSearcher::semanticSearch(const QString &query, int limit)
{
    ++calls;
    lastQuery = query;
    lastLimit = limit;
    auto promise = std::make_shared<QPromise<QList<VectorSearchResult>>>();
    promise->start();
    QFuture<QList<VectorSearchResult>> future = promise->future();
    if (heldQueries.contains(query)) {
        m_held.emplace_back(query, std::move(promise));
        return future;
    }
    if (cancelAnswers)
        promise->future().cancel();
    else
        promise->addResult(hitsFor(query));
    promise->finish();
    return future;
}

void FakeSemanticSearcher::release(const QString &query)
{
    heldQueries.removeAll(query);
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (it->first != query) {
            ++it;
            continue;
        }
        it->second->addResult(hitsFor(query));
        it->second->finish();
        it = m_held.erase(it);
    }
}

} // namespace snipbrook::test
