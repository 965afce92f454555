#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace snipbrook {

// A model that maps a text (a whole text or one word) to a vector of its fixed dimension, or
// reports that it has none for it. Implementations are safe to call from several threads.
class TextEmbeddingModel {
public:
    virtual ~TextEmbeddingModel() = default;

    virtual std::optional<std::vector<float>> vector(const QString &text) const = 0;

    // The vectors of several texts, in order; the default asks for them one by one.
    virtual std::vector<std::optional<std::vector<float>>> vectors(const QStringList &texts) const;
};

} // namespace snipbrook
