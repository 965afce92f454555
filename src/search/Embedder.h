#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace snipbrook {

// Turns text into a unit-length vector for search by meaning. The embedding manager is the real
// one; tests substitute deterministic embedders. Safe to call from several threads at once.
class Embedder {
public:
    virtual ~Embedder() = default;
    // Nothing when the text is too short to embed once prepared.
    virtual std::optional<std::vector<float>> generateEmbedding(const QString &text) const = 0;
};

} // namespace snipbrook
