#pragma once

#include "core/SemanticSearcher.h"

#include <QPromise>
#include <QStringList>

#include <memory>
#include <vector>

namespace snipbrook::test {

// A vector index whose hits the test sets. Answers at once, unless the query is in
// `heldQueries`: those wait for release(query), so searches can finish out of order.
class FakeSemanticSearcher : public SemanticSearcher {
public:
    QList<VectorSearchResult> hits;
    QStringList heldQueries;
    bool failAnswers = false; // answer with a cancelled future

    int calls = 0;
    QString lastQuery;
    int lastLimit = 0;

    QFuture<QList<VectorSearchResult>> semanticSearch(const QString &query, int limit) override;
    // Answers the held searches for `query` with the hits as they stand now.
    void release(const QString &query);

private:
    std::vector<std::pair<QString, std::shared_ptr<QPromise<QList<VectorSearchResult>>>>> m_held;
};

} // namespace snipbrook::test
