#include "FakeSemanticSearcher.h"

namespace snipbrook::test {

QFuture<QList<VectorSearchResult>> FakeSemanticSearcher::semanticSearch(const QString &query, int limit)
{
    ++calls;
    lastQuery = query;
    lastLimit = limit;
    auto promise = std::make_shared<QPromise<QList<VectorSearchResult>>>();
    promise->start();
    if (heldQueries.contains(query)) {
        m_held.emplace_back(query, promise);
        return promise->future();
    }
    if (failAnswers)
        promise->future().cancel();
    else
        promise->addResult(hits);
    promise->finish();
    return promise->future();
}

void FakeSemanticSearcher::release(const QString &query)
{
    heldQueries.removeAll(query);
    std::erase_if(m_held, [&](const auto &held) {
        if (held.first != query)
            return false;
        held.second->addResult(hits);
        held.second->finish();
        return true;
    });
}

} // namespace snipbrook::test
