#include "SentenceEncoder.h"

#include "ModelFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace snipbrook {
namespace {

// Rows per forward pass: bounds the scratch matrices when many long texts come at once.
constexpr std::size_t maxBatchRows = 1024;

bool allFinite(const std::vector<float> &v)
{
    return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
}

} // namespace

SentenceEncoder::SentenceEncoder(std::unique_ptr<EncoderWeights> weights, EncoderParameters parameters,
                                 SentencePieceTokenizer tokenizer)
    : m_weights(std::move(weights)), m_parameters(parameters), m_tokenizer(std::move(tokenizer))
{
}

std::shared_ptr<const SentenceEncoder> SentenceEncoder::load(const QString &dir, QString *error)
{
    if (!QFileInfo(dir).isDir()) {
        *error = QStringLiteral("no such folder");
        return nullptr;
    }
    const ModelFileSet &files = ModelFileSet::published();
    std::unique_ptr<EncoderWeights> weights = EncoderWeights::load(dir, files, error);
    if (!weights)
        return nullptr;
    std::optional<EncoderParameters> parameters = bindEncoderParameters(*weights, error);
    if (!parameters)
        return nullptr;
    const QByteArray vocabulary = readModelFile(dir, files.vocabulary, error);
    if (vocabulary.isEmpty())
        return nullptr;
    std::optional<SentencePieceTokenizer> tokenizer = SentencePieceTokenizer::fromJson(vocabulary, error);
    if (!tokenizer)
        return nullptr;
    if (tokenizer->vocabularySize() > parameters->vocabularyRows) {
        *error = QStringLiteral("vocabulary has more pieces than the embedding table");
        return nullptr;
    }
    return std::shared_ptr<const SentenceEncoder>(new SentenceEncoder(std::move(weights), *parameters, std::move(*tokenizer)));
}

std::optional<std::vector<float>> SentenceEncoder::vector(const QString &text) const
{
    return std::move(vectors(QStringList{text}).front());
}

std::vector<std::optional<std::vector<float>>> SentenceEncoder::vectors(const QStringList &texts) const
{
    std::vector<std::optional<std::vector<float>>> out(static_cast<std::size_t>(texts.size()));
    // The encoder runs for a few milliseconds after a copy and then sits idle for hours: its
    // weights are resident only in between. Mapping them in again costs a fraction of a
    // millisecond while they stay in the page cache.
    if (m_runningPasses++ == 0)
        m_weights->prefetchResidentPages();
    const auto release = qScopeGuard([this] {
        if (--m_runningPasses == 0)
            m_weights->releaseResidentPages();
    });
    std::vector<std::vector<std::int32_t>> batch;
    std::vector<std::size_t> batchIndices;
    std::size_t batchRows = 0;
    const auto flush = [&] {
        if (batch.empty())
            return;
        std::vector<std::vector<float>> vectors = runEncoder(m_parameters, batch);
        for (std::size_t i = 0; i < vectors.size(); ++i) {
            // A vector that is not finite is no vector (it would poison every comparison).
            if (allFinite(vectors[i]))
                out[batchIndices[i]] = std::move(vectors[i]);
        }
        batch.clear();
        batchIndices.clear();
        batchRows = 0;
    };
    for (qsizetype i = 0; i < texts.size(); ++i) {
        std::vector<std::int32_t> ids = m_tokenizer.encode(texts.at(i));
        if (ids.empty())
            continue;
        ids.resize(std::min<std::size_t>(ids.size(), maxTokens));
        if (batchRows + ids.size() > maxBatchRows)
            flush();
        batchRows += ids.size();
        batch.push_back(std::move(ids));
        batchIndices.push_back(static_cast<std::size_t>(i));
    }
    flush();
    return out;
}

std::size_t SentenceEncoder::memoryBytes() const
{
    return m_weights->byteSize() + m_tokenizer.memoryBytes();
}

} // namespace snipbrook
