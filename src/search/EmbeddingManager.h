#pragma once

#include "core/Embedder.h"
#include "TextEmbeddingModel.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace snipbrook {

// Turns clipboard text or a search query into a vector of 32-bit floats of unit length: the
// text is prepared (URLs become their words, code its telling lines, white space collapsed),
// then embedded by the sentence model, else by averaged word vectors, else by a character-code
// fallback vector. One shared instance serves the whole process, from any thread.
class EmbeddingManager final : public Embedder {
public:
    using Vector = std::vector<float>;
    // Produces a model on first use, or null when it is unavailable.
    using ModelSource = std::function<std::shared_ptr<const TextEmbeddingModel>()>;

    static inline const QString embeddingVersion = QStringLiteral("nl-v1.0");
    static constexpr int minTextLength = 3;
    static constexpr int maxTextLength = 1000;
    static constexpr int fallbackDimension = 128;

    // The process's instance; both of its models are the local sentence encoder.
    static EmbeddingManager &shared();

    EmbeddingManager(ModelSource sentenceModel, ModelSource wordModel);
    EmbeddingManager(const EmbeddingManager &) = delete;
    EmbeddingManager &operator=(const EmbeddingManager &) = delete;

    // The vector of the text, or nothing when the prepared text is shorter than minTextLength
    // or no vector with a direction came out (the fallback vector of a text without any ASCII
    // character is all zeros, which no comparison can use).
    std::optional<Vector> generateEmbedding(const QString &text) const override;
    // The same for several texts, in order, with one model pass for all of them.
    std::vector<std::optional<Vector>> generateEmbeddings(const QStringList &texts) const override;

    Vector embedPreparedText(const QString &preparedText) const;

    // Text preparation steps (lengths in user-perceived characters).
    static QString prepareText(const QString &text);
    static QString urlToWords(const QString &text);
    static QString summarizeCode(const QString &text);
    static QString collapseWhitespace(const QString &text);

    static Vector fallbackEmbedding(const QString &text);
    static Vector normalize(Vector vector);

    // The first `count` characters of a text for a log line, control characters made harmless.
    static QString logSnippet(const QString &text, qsizetype count = 50);

private:
    // A model asked for at most once: not yet asked, loaded, or known to be unavailable.
    struct CachedModel {
        explicit CachedModel(ModelSource source) : source(std::move(source)) {}
        std::shared_ptr<const TextEmbeddingModel> get() const;

        ModelSource source;
        mutable std::once_flag once;
        mutable std::shared_ptr<const TextEmbeddingModel> model;
    };

    // Trims, cuts to maxTextLength and prepares; nothing (logged) when too short.
    static std::optional<QString> preparedForEmbedding(const QString &text);
    static std::optional<Vector> usable(Vector vector, const QString &preparedText);
    // The sentence model's vector of the text (already asked for), else averaged word vectors.
    Vector sentenceVector(const QString &text, std::optional<Vector> modelVector, const TextEmbeddingModel &model) const;
    Vector averagedWordVector(const QString &text, const TextEmbeddingModel &model) const;
    Vector withoutModels(const QString &text) const;

    CachedModel m_cachedSentenceEmbedding;
    CachedModel m_cachedWordEmbedding;
};

} // namespace snipbrook
