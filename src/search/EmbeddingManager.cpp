#include "EmbeddingManager.h"

#include "ModelLocator.h"
#include "WordTokenizer.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <QSet>

#include <algorithm>

namespace snipbrook {
namespace {

const QSet<QString> &stopWords()
{
    static const QSet<QString> words{
        QStringLiteral("the"),   QStringLiteral("a"),     QStringLiteral("an"),     QStringLiteral("and"),    QStringLiteral("or"),
        QStringLiteral("but"),   QStringLiteral("in"),    QStringLiteral("on"),     QStringLiteral("at"),     QStringLiteral("to"),
        QStringLiteral("for"),   QStringLiteral("of"),    QStringLiteral("with"),   QStringLiteral("by"),     QStringLiteral("is"),
        QStringLiteral("are"),   QStringLiteral("was"),   QStringLiteral("were"),   QStringLiteral("be"),     QStringLiteral("been"),
        QStringLiteral("have"),  QStringLiteral("has"),   QStringLiteral("had"),    QStringLiteral("do"),     QStringLiteral("does"),
        QStringLiteral("did"),   QStringLiteral("will"),  QStringLiteral("would"),  QStringLiteral("could"),  QStringLiteral("should"),
        QStringLiteral("this"),  QStringLiteral("that"),  QStringLiteral("these"),  QStringLiteral("those"),  QStringLiteral("i"),
        QStringLiteral("you"),   QStringLiteral("he"),    QStringLiteral("she"),    QStringLiteral("it"),     QStringLiteral("we"),
        QStringLiteral("they"),
    };
    return words;
}

} // namespace

EmbeddingManager &EmbeddingManager::shared()
{
    static EmbeddingManager instance([] { return std::shared_ptr<const TextEmbeddingModel>(sharedSentenceEncoder()); },
                                     [] { return std::shared_ptr<const TextEmbeddingModel>(sharedSentenceEncoder()); });
    return instance;
}

EmbeddingManager::EmbeddingManager(ModelSource sentenceModel, ModelSource wordModel)
    : m_cachedSentenceEmbedding(std::move(sentenceModel)), m_cachedWordEmbedding(std::move(wordModel))
{
}

std::shared_ptr<const TextEmbeddingModel> EmbeddingManager::CachedModel::get() const
{
    std::call_once(once, [this] {
        if (source)
            model = source();
    });
    return model;
}

std::optional<QString> EmbeddingManager::preparedForEmbedding(const QString &text)
{
    // Cutting first bounds the cost of every later step.
    const QString cut = firstGraphemes(trimWhitespaceAndNewlines(text), maxTextLength);
    const QString prepared = prepareText(cut);
    const qsizetype length = graphemeCount(prepared, minTextLength);
    if (length < minTextLength) {
        diag(QStringLiteral("🔍 Text too short for embedding: %1 characters").arg(length));
        return std::nullopt;
    }
    return prepared;
}

std::optional<EmbeddingManager::Vector> EmbeddingManager::generateEmbedding(const QString &text) const
{
    const std::optional<QString> prepared = preparedForEmbedding(text);
    if (!prepared)
        return std::nullopt;
    return usable(embedPreparedText(*prepared), *prepared);
}

std::optional<EmbeddingManager::Vector> EmbeddingManager::usable(Vector vector, const QString &preparedText)
{
    if (std::any_of(vector.begin(), vector.end(), [](float x) { return x != 0.0f; }))
        return vector;
    diag(QStringLiteral("⚠️ No usable embedding for text: ") + logSnippet(preparedText));
    return std::nullopt;
}

QString EmbeddingManager::logSnippet(const QString &text, qsizetype count)
{
    QString snippet = firstGraphemes(text, count);
    for (QChar &c : snippet)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return snippet;
}

std::vector<std::optional<EmbeddingManager::Vector>> EmbeddingManager::generateEmbeddings(const QStringList &texts) const
{
    std::vector<std::optional<Vector>> out(static_cast<std::size_t>(texts.size()));
    QStringList prepared;
    std::vector<std::size_t> positions;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (std::optional<QString> text = preparedForEmbedding(texts.at(i))) {
            prepared << *text;
            positions.push_back(static_cast<std::size_t>(i));
        }
    }
    if (prepared.isEmpty())
        return out;
    const std::shared_ptr<const TextEmbeddingModel> sentenceModel = m_cachedSentenceEmbedding.get();
    if (!sentenceModel) {
        for (qsizetype i = 0; i < prepared.size(); ++i)
            out[positions[static_cast<std::size_t>(i)]] = usable(withoutModels(prepared.at(i)), prepared.at(i));
        return out;
    }
    std::vector<std::optional<Vector>> modelVectors = sentenceModel->vectors(prepared);
    for (qsizetype i = 0; i < prepared.size(); ++i)
        out[positions[static_cast<std::size_t>(i)]] =
            usable(sentenceVector(prepared.at(i), std::move(modelVectors[static_cast<std::size_t>(i)]), *sentenceModel), prepared.at(i));
    return out;
}

EmbeddingManager::Vector EmbeddingManager::embedPreparedText(const QString &preparedText) const
{
    if (const auto sentenceModel = m_cachedSentenceEmbedding.get())
        return sentenceVector(preparedText, sentenceModel->vector(preparedText), *sentenceModel);
    return withoutModels(preparedText);
}

// The word model is asked for only once the sentence model is known to be unavailable.
EmbeddingManager::Vector EmbeddingManager::withoutModels(const QString &text) const
{
    if (const auto wordModel = m_cachedWordEmbedding.get())
        return averagedWordVector(text, *wordModel);
    diag(QStringLiteral("❌ Failed to load any NL embedding model"));
    return fallbackEmbedding(text);
}

EmbeddingManager::Vector EmbeddingManager::sentenceVector(const QString &text, std::optional<Vector> modelVector,
                                                          const TextEmbeddingModel &model) const
{
    if (!modelVector)
        return averagedWordVector(text, model);
    return normalize(std::move(*modelVector));
}

EmbeddingManager::Vector EmbeddingManager::averagedWordVector(const QString &text, const TextEmbeddingModel &model) const
{
    struct WordVector {
        qsizetype length;
        Vector vector;
    };
    QStringList words;
    std::vector<qsizetype> lengths;
    for (const QString &token : wordTokens(text)) {
        const QString word = token.toLower();
        const qsizetype length = graphemeCount(word);
        if (length < 2 || stopWords().contains(word))
            continue;
        words << word;
        lengths.push_back(length);
    }
    // All words in one request: the encoder embeds them in one batched pass.
    std::vector<WordVector> kept;
    std::vector<std::optional<Vector>> vectors = model.vectors(words);
    for (std::size_t i = 0; i < std::min(vectors.size(), lengths.size()); ++i)
        if (vectors[i])
            kept.push_back({lengths[i], std::move(*vectors[i])});
    if (kept.empty()) {
        diag(QStringLiteral("🔍 No valid word vectors found for text: ") + logSnippet(text));
        return fallbackEmbedding(text);
    }

    const std::size_t dimension = kept.front().vector.size();
    std::vector<double> sum(dimension, 0.0);
    double totalWeight = 0.0;
    for (const WordVector &word : kept) {
        const double weight = 1.0 + static_cast<double>(word.length) / 10.0;
        totalWeight += weight;
        // A model keeps one dimension; a shorter vector adds only the components it has.
        const std::size_t shared = std::min(dimension, word.vector.size());
        for (std::size_t i = 0; i < shared; ++i)
            sum[i] += weight * static_cast<double>(word.vector[i]);
    }
    Vector average(dimension);
    for (std::size_t i = 0; i < dimension; ++i)
        average[i] = static_cast<float>(sum[i] / totalWeight);
    return normalize(std::move(average));
}

} // namespace snipbrook
