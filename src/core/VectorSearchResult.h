#pragma once

#include <QMap>
#include <QString>
#include <QUuid>

namespace snipbrook {

// One hit of the vector index: the item's id, its score and the entry's metadata map.
struct VectorSearchResult {
    QUuid id;
    float score = 0.0f;
    QMap<QString, QString> metadata;

    bool operator==(const VectorSearchResult &) const = default;
};

} // namespace snipbrook
