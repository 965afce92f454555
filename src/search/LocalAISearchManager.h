#pragma once

#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"
#include "platform/Clock.h"
#include "core/SemanticSearcher.h"

#include <QFuture>
#include <QList>

namespace snipbrook {

// Answers free-text queries ("code from yesterday", "links from safari") over the history: the
// vector index's hits among the given items, raised by what the query says about the day, the
// application and the kind; plain text containment when the index finds nothing.
class LocalAISearchManager {
public:
    static constexpr int resultLimit = 50;
    static constexpr int semanticCandidates = 50;
    static constexpr float keywordBaseScore = 0.6f;

    LocalAISearchManager(SemanticSearcher &vectorStore, const Clock &clock)
        : m_vectorStore(vectorStore), m_clock(clock)
    {
    }

    // Best first, at most 50; empty for a blank query (the index is not asked). `items` is the
    // caller's snapshot. The ranking runs on a pool of its own; the clock must outlive the
    // returned future.
    QFuture<QList<SimilaritySearchResult>> naturalLanguageSearch(const QString &query,
                                                                 const QList<ClipboardItem> &items) const;

private:
    // Static so a search in flight needs only the clock, not this manager.
    static QList<SimilaritySearchResult> rankHits(const QString &trimmedQuery, const QList<VectorSearchResult> &hits,
                                                  const QList<ClipboardItem> &items, const Clock &clock);
    static QList<SimilaritySearchResult> rankContainment(const QString &trimmedQuery,
                                                         const QList<ClipboardItem> &items, const Clock &clock);

    SemanticSearcher &m_vectorStore;
    const Clock &m_clock;
};

} // namespace snipbrook
