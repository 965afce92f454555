#pragma once

#include "ClipboardItem.h"

#include <QUuid>

#include <optional>

namespace snipbrook {

// How a search hit was found.
enum class SearchType { semantic, keyword, hybrid, similarity };

QString rawValue(SearchType type);
std::optional<SearchType> searchTypeFromRaw(const QString &raw);

// The one hit record of every search path. `id` belongs to the result itself, fresh for each.
struct SimilaritySearchResult {
    QUuid id;
    ClipboardItem item;
    float similarity = 0.0f;
    SearchType searchType = SearchType::semantic;

    static SimilaritySearchResult make(ClipboardItem item, float similarity, SearchType type)
    {
        return {QUuid::createUuid(), std::move(item), similarity, type};
    }

    bool operator==(const SimilaritySearchResult &other) const
    {
        return id == other.id && item.id == other.item.id && similarity == other.similarity &&
               searchType == other.searchType;
    }
};

} // namespace snipbrook
