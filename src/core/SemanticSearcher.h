#pragma once

#include "core/VectorSearchResult.h"

#include <QFuture>
#include <QList>

namespace snipbrook {

// Ranked search over the vector index; what the natural-language search needs of it.
class SemanticSearcher {
public:
    virtual ~SemanticSearcher() = default;
    // Best first, at most `limit`; the future finishes when the index's queue has scored it.
    virtual QFuture<QList<VectorSearchResult>> semanticSearch(const QString &query, int limit) = 0;
};

} // namespace snipbrook
