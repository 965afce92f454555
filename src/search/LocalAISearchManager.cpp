#include "LocalAISearchManager.h"

#include "core/Async.h"

#include "QueryHints.h"

#include "model/UnicodeText.h"

#include <QHash>

#include <algorithm>

namespace snipbrook {
namespace {

struct Scored {
    const ClipboardItem *item;
    float score;
};

float capped(float score) { return score > 1.0f ? 1.0f : score; }

std::optional<QString> sourceAppName(const ClipboardItem &item)
{
    return item.metadata ? item.metadata->sourceApp : std::nullopt;
}

// Best first, the earlier candidate first among equal scores, at most the limit.
QList<SimilaritySearchResult> bestResults(std::vector<Scored> scored, SearchType type)
{
    std::stable_sort(scored.begin(), scored.end(), [](const Scored &a, const Scored &b) { return a.score > b.score; });
    if (scored.size() > std::size_t(LocalAISearchManager::resultLimit))
        scored.resize(LocalAISearchManager::resultLimit);
    QList<SimilaritySearchResult> results;
    results.reserve(qsizetype(scored.size()));
    for (const Scored &s : scored)
        results.append(SimilaritySearchResult::make(*s.item, s.score, type));
    return results;
}

// Its threads mostly wait for the index's answer (which comes from the index's own threads), so
// they are kept apart from the pools that do the work, the toolkit's painting pool included.
QThreadPool &rankingPool()
{
    static QThreadPool pool;
    [[maybe_unused]] static const bool configured = [] {
        pool.setObjectName(QStringLiteral("search.ranking"));
        pool.setMaxThreadCount(4);
        return true;
    }();
    return pool;
}

} // namespace

QFuture<QList<SimilaritySearchResult>> LocalAISearchManager::naturalLanguageSearch(const QString &query,
                                                                                   const QList<ClipboardItem> &items) const
{
    const QString trimmed = trimWhitespaceAndNewlines(query);
    if (trimmed.isEmpty())
        return QtFuture::makeReadyFuture(QList<SimilaritySearchResult>{});

    // An index that fails or is cancelled counts as finding nothing: the text fallback answers.
    return continueOnPool(rankingPool(), m_vectorStore.semanticSearch(trimmed, semanticCandidates),
                          [clock = &m_clock, trimmed, items](const QList<VectorSearchResult> &hits) {
                              QList<SimilaritySearchResult> results = rankHits(trimmed, hits, items, *clock);
                              return results.isEmpty() ? rankContainment(trimmed, items, *clock) : results;
                          });
}

QList<SimilaritySearchResult> LocalAISearchManager::rankHits(const QString &trimmedQuery,
                                                             const QList<VectorSearchResult> &hits,
                                                             const QList<ClipboardItem> &items, const Clock &clock)
{
    if (hits.isEmpty())
        return {};
    QHash<QUuid, const ClipboardItem *> byId;
    byId.reserve(items.size());
    for (const ClipboardItem &item : items)
        byId.insert(item.id, &item);

    const QueryHints hints(trimmedQuery, clock);
    std::vector<Scored> scored;
    scored.reserve(std::size_t(hits.size()));
    for (const VectorSearchResult &hit : hits) {
        const ClipboardItem *item = byId.value(hit.id);
        if (!item)
            continue; // no longer in the history
        const float score = hit.score + hints.timeBonus(item->timestamp) + hints.appBonus(sourceAppName(*item)) +
                            hints.typeBonus(item->type);
        scored.push_back({item, capped(score)});
    }
    return bestResults(std::move(scored), SearchType::semantic);
}

QList<SimilaritySearchResult> LocalAISearchManager::rankContainment(const QString &trimmedQuery,
                                                                    const QList<ClipboardItem> &items,
                                                                    const Clock &clock)
{
    const QueryHints hints(trimmedQuery, clock);
    const QString &needle = hints.lowerQuery();
    std::vector<Scored> scored;
    for (const ClipboardItem &item : items) {
        // An image's content is its Base64 text: matching the query inside it finds noise.
        if (item.type == ClipboardItemType::image)
            continue;
        if (!item.content.toLower().contains(needle))
            continue;
        const float score = keywordBaseScore + hints.appBonus(sourceAppName(item)) + hints.typeBonus(item.type);
        scored.push_back({&item, capped(score)});
    }
    return bestResults(std::move(scored), SearchType::keyword);
}

} // namespace snipbrook
