#include "SimilaritySearchResult.h"

namespace snipbrook {

QString rawValue(SearchType type)
{
    switch (type) {
    case SearchType::semantic:
        return QStringLiteral("semantic");
    case SearchType::keyword:
        return QStringLiteral("keyword");
    case SearchType::hybrid:
        return QStringLiteral("hybrid");
    case SearchType::similarity:
        return QStringLiteral("similarity");
    }
    return {};
}

std::optional<SearchType> searchTypeFromRaw(const QString &raw)
{
    for (SearchType type : {SearchType::semantic, SearchType::keyword, SearchType::hybrid, SearchType::similarity}) {
        if (rawValue(type) == raw)
            return type;
    }
    return std::nullopt;
}

} // namespace snipbrook
