#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>

#include <vector>

namespace snipbrook {

// One entry of the vector index, as it is written to and read from the index file.
struct VectorItem {
    QString id; // canonical upper-case id text; the entry's key
    QString text;
    std::vector<float> embedding;
    QMap<QString, QString> metadata;
    QDateTime timestamp;

    bool operator==(const VectorItem &) const = default;
};

} // namespace snipbrook
