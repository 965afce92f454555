#pragma once

#include <QString>
#include <QStringList>

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

    // The same for several texts, in order. Embedders that can embed a batch in one pass (several
    // times faster per text) override this; by default the texts are embedded one by one.
    virtual std::vector<std::optional<std::vector<float>>> generateEmbeddings(const QStringList &texts) const
    {
        std::vector<std::optional<std::vector<float>>> vectors;
        vectors.reserve(static_cast<size_t>(texts.size()));
        for (const QString &text : texts)
            vectors.push_back(generateEmbedding(text));
        return vectors;
    }
};

} // namespace snipbrook
