#pragma once

#include "EncoderParameters.h"
#include "EncoderWeights.h"
#include "SentencePieceTokenizer.h"
#include "TextEmbeddingModel.h"

#include <atomic>
#include <memory>

namespace snipbrook {

// The English sentence encoder (Universal Sentence Encoder Lite weights): text → 512 floats of
// unit length. Immutable once loaded, so one instance serves every thread.
class SentenceEncoder final : public TextEmbeddingModel {
public:
    static constexpr int dimension = EncoderParameters::dimension;
    static constexpr int maxTokens = EncoderParameters::maxTokens;

    // Loads the model files from `dir`. Null, with the reason in `error`, when a file is
    // missing, truncated, altered or shaped unlike this model.
    static std::shared_ptr<const SentenceEncoder> load(const QString &dir, QString *error);

    std::vector<std::int32_t> tokenize(const QString &text) const { return m_tokenizer.encode(text); }

    // Nothing for a text without tokens (empty after normalisation).
    std::optional<std::vector<float>> vector(const QString &text) const override;
    // One pass over all texts at once; the same vectors, with better throughput.
    std::vector<std::optional<std::vector<float>>> vectors(const QStringList &texts) const override;

    // Bytes held by the weights and the vocabulary.
    std::size_t memoryBytes() const;

private:
    SentenceEncoder(std::unique_ptr<EncoderWeights> weights, EncoderParameters parameters, SentencePieceTokenizer tokenizer);

    std::unique_ptr<EncoderWeights> m_weights;
    EncoderParameters m_parameters;
    SentencePieceTokenizer m_tokenizer;
    // Passes running now; the last one to finish hands the mapped weights back to the kernel.
    mutable std::atomic<int> m_runningPasses{0};
};

} // namespace snipbrook
