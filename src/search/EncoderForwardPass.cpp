// The forward pass of the Universal Sentence Encoder Lite graph: token and timing embeddings,
// two transformer layers, mean pooling and a tanh projection.
#include "EncoderParameters.h"

#include <Eigen/Core>

#include <algorithm>
#include <cmath>

namespace snipbrook {
namespace {

using Matrix = Eigen::Matrix<float, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
using ConstMatrixMap = Eigen::Map<const Matrix>;
using ConstRowMap = Eigen::Map<const Eigen::Matrix<float, 1, Eigen::Dynamic>>;

constexpr float layerNormEpsilon = 1e-6f;
constexpr float minSquaredNorm = 1e-12f;

// Rows [first, first + count) of the stacked matrix belong to one text.
struct Segment {
    Eigen::Index first;
    Eigen::Index count;
};

Matrix dense(const Matrix &x, const DenseParameters &layer)
{
    Matrix y(x.rows(), layer.out);
    y.noalias() = x * ConstMatrixMap(layer.weights, layer.in, layer.out);
    y.rowwise() += ConstRowMap(layer.bias, layer.out);
    return y;
}

// (x − mean) · scale / sqrt(biased variance + ε) + bias, row by row.
Matrix layerNorm(const Matrix &x, const LayerNormParameters &norm)
{
    const ConstRowMap scale(norm.scale, norm.width);
    const ConstRowMap bias(norm.bias, norm.width);
    Matrix y(x.rows(), x.cols());
    for (Eigen::Index r = 0; r < x.rows(); ++r) {
        const auto row = x.row(r);
        const float mean = row.mean();
        const auto centred = row.array() - mean;
        const float variance = centred.square().mean();
        y.row(r) = (centred * scale.array() / std::sqrt(variance + layerNormEpsilon) + bias.array()).matrix();
    }
    return y;
}

// Multi-head self-attention of each text over its own tokens, heads concatenated again.
Matrix attention(const Matrix &qkv, const TransformerLayerParameters &layer, const std::vector<Segment> &segments)
{
    const Eigen::Index width = qkv.cols() / 3;
    const Eigen::Index headWidth = width / layer.heads;
    Matrix out(qkv.rows(), width);
    Matrix scores;
    for (const Segment &segment : segments) {
        for (int head = 0; head < layer.heads; ++head) {
            const auto q = qkv.block(segment.first, head * headWidth, segment.count, headWidth);
            const auto k = qkv.block(segment.first, width + head * headWidth, segment.count, headWidth);
            const auto v = qkv.block(segment.first, 2 * width + head * headWidth, segment.count, headWidth);
            scores.noalias() = (q * layer.queryScale) * k.transpose();
            for (Eigen::Index r = 0; r < scores.rows(); ++r) {
                auto row = scores.row(r).array();
                row = (row - row.maxCoeff()).exp();
                row /= row.sum();
            }
            out.block(segment.first, head * headWidth, segment.count, headWidth).noalias() = scores * v;
        }
    }
    return out;
}

Matrix feedForward(const Matrix &x, const TransformerLayerParameters &layer)
{
    const Matrix hidden = dense(layerNorm(x, layer.feedForwardNorm), layer.feedForwardIn).cwiseMax(0.0f);
    return dense(hidden, layer.feedForwardOut);
}

// Token embedding plus timing signal; the graph adds the token embedding twice.
Matrix inputRows(const EncoderParameters &p, const std::vector<std::vector<std::int32_t>> &texts, Eigen::Index rows)
{
    const int half = p.embeddingWidth / 2;
    const ConstMatrixMap embedding(p.tokenEmbedding, p.vocabularyRows, p.embeddingWidth);
    Matrix x(rows, p.embeddingWidth);
    Eigen::Index r = 0;
    for (const auto &ids : texts) {
        const std::size_t count = std::min<std::size_t>(ids.size(), EncoderParameters::maxTokens);
        for (std::size_t t = 0; t < count; ++t, ++r) {
            const std::int32_t id = ids[t] >= 0 && ids[t] < p.vocabularyRows ? ids[t] : 0;
            const auto e = embedding.row(id);
            for (int c = 0; c < half; ++c) {
                const float angle = static_cast<float>(t) * p.timingFrequencies[c];
                x(r, c) = e(c) + (e(c) + std::sin(angle));
                x(r, c + half) = e(c + half) + (e(c + half) + std::cos(angle));
            }
        }
    }
    return x;
}

} // namespace

std::vector<std::vector<float>> runEncoder(const EncoderParameters &p, const std::vector<std::vector<std::int32_t>> &texts)
{
    std::vector<Segment> segments;
    Eigen::Index rows = 0;
    for (const auto &ids : texts) {
        const auto count = static_cast<Eigen::Index>(std::min<std::size_t>(ids.size(), EncoderParameters::maxTokens));
        segments.push_back({rows, count});
        rows += count;
    }
    if (rows == 0 || std::any_of(segments.begin(), segments.end(), [](const Segment &s) { return s.count == 0; }))
        return {};

    const TransformerLayerParameters &l0 = p.layers[0];
    const TransformerLayerParameters &l1 = p.layers[1];

    const Matrix x0 = inputRows(p, texts, rows);
    Matrix x = dense(attention(dense(layerNorm(x0, l0.attentionNorm), l0.queryKeyValue), l0, segments), l0.attentionOutput);
    // Layer 0 widens the residual stream from 256 to 512 columns with its own projection of x0.
    x += dense(x0, p.layer0Residual);
    x += feedForward(x, l0);

    x += dense(attention(dense(layerNorm(x, l1.attentionNorm), l1.queryKeyValue), l1, segments), l1.attentionOutput);
    x += feedForward(x, l1);

    Matrix pooled(static_cast<Eigen::Index>(segments.size()), x.cols());
    for (std::size_t i = 0; i < segments.size(); ++i)
        pooled.row(static_cast<Eigen::Index>(i)) = x.middleRows(segments[i].first, segments[i].count).colwise().mean();
    const Matrix y = dense(pooled, p.output).array().tanh().matrix();

    std::vector<std::vector<float>> vectors;
    vectors.reserve(segments.size());
    for (Eigen::Index i = 0; i < y.rows(); ++i) {
        const float norm = std::sqrt(std::max(y.row(i).squaredNorm(), minSquaredNorm));
        std::vector<float> v(static_cast<std::size_t>(y.cols()));
        for (Eigen::Index c = 0; c < y.cols(); ++c)
            v[static_cast<std::size_t>(c)] = y(i, c) / norm;
        vectors.push_back(std::move(v));
    }
    return vectors;
}

} // namespace snipbrook
