#pragma once

#include "search/Embedder.h"

namespace snipbrook {

// The limits of search by meaning. Nothing reads them yet: the limits in force are the vector
// index's and the natural-language search's own.
class SemanticSearchManager {
public:
    explicit SemanticSearchManager(const Embedder &embeddingManager) : m_embeddingManager(embeddingManager) {}

    const Embedder &embeddingManager() const { return m_embeddingManager; }
    float minSimilarityThreshold() const { return 0.1f; }
    int maxResults() const { return 50; }

private:
    const Embedder &m_embeddingManager;
};

} // namespace snipbrook
