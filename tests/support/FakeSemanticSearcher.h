#pragma once

#include "storage/SemanticSearcher.h"

#include <QHash>
#include <QPromise>
#include <QStringList>

#include <memory>
#include <vector>

namespace snipbrook::test {

// A vector index whose hits the test sets. Answers at once, unless the query is listed in
// `heldQueries`: those wait for release(query), so tests can finish searches out of order.
class FakeSemanticSearcher : public SemanticSearcher {
public:
    QList<VectorSearchResult> hits;
    QHash<QString, QList<VectorSearchResult>> hitsByQuery;
    QStringList heldQueries;
    bool cancelAnswers = false;

    int calls = 0;
    QString lastQuery;
    int lastLimit = 0;

    QFuture<QList<VectorSearchResult>> semanticSearch(const QString &query, int limit) override;

    // Answers the held searches for `query` with the hits as they stand now.
    void release(const QString &query);
    int heldCount() const { return int(m_held.size()); }

private:
    QList<VectorSearchResult> hitsFor(const QString &query) const { return hitsByQuery.value(query, hits); }

    std::vector<std::pair<QString, std::shared_ptr<QPromise<QList<VectorSearchResult>>>>> m_held;
};

} // namespace snipbrook::test
