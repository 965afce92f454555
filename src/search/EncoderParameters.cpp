#include "EncoderParameters.h"

#include "EncoderWeights.h"

namespace snipbrook {
namespace {

const QString applyPrefix = QStringLiteral("module_apply_default/Encoder_en/KonaTransformer/Encode/");
const QString modulePrefix = QStringLiteral("module/Encoder_en/KonaTransformer/Encode/");
const QString concat = QStringLiteral("/ConcatPartitions/concat");

class Binder {
public:
    explicit Binder(const EncoderWeights &weights) : m_weights(weights) {}

    const float *tensor(const QString &name, std::initializer_list<qint64> shape)
    {
        return m_weights.floats(name, shape, &m_error);
    }

    LayerNormParameters layerNorm(const QString &path, int width)
    {
        return {tensor(applyPrefix + path + QStringLiteral("/layer_norm_scale") + concat, {width}),
                tensor(applyPrefix + path + QStringLiteral("/layer_norm_bias") + concat, {width}), width};
    }

    // Attention projections are stored as 1×1 convolution kernels: [1, 1, in, out].
    DenseParameters projection(const QString &layer, const QString &name, int in, int out)
    {
        const QString path = layer + QStringLiteral("/TransformerLayer/MultiheadAttention/") + name;
        return {tensor(modulePrefix + path + QStringLiteral("/kernel/part_0"), {1, 1, in, out}),
                tensor(applyPrefix + path + QStringLiteral("/bias") + concat, {out}), in, out};
    }

    DenseParameters feedForward(const QString &layer, const QString &conv, int in, int out)
    {
        return {tensor(applyPrefix + QStringLiteral("TransformerStack/") + layer + QStringLiteral("/TransformerLayer/FFN/") + conv
                           + QStringLiteral("/Tensordot/Reshape_1"),
                       {in, out}),
                tensor(applyPrefix + layer + QStringLiteral("/TransformerLayer/FFN/") + conv + QStringLiteral("/bias") + concat, {out}),
                in, out};
    }

    TransformerLayerParameters layer(int index, int in, int width)
    {
        const QString name = QStringLiteral("Layer_%1").arg(index);
        TransformerLayerParameters layer;
        layer.attentionNorm = layerNorm(name + QStringLiteral("/TransformerLayer/layer_prepostprocess/layer_norm"), in);
        layer.queryKeyValue = projection(name, QStringLiteral("qkv_transform_single"), in, 3 * in);
        layer.attentionOutput = projection(name, QStringLiteral("output_transform_single"), in, width);
        const float *scale = tensor(applyPrefix + QStringLiteral("TransformerStack/") + name
                                        + QStringLiteral("/TransformerLayer/MultiheadAttention/mul/y"),
                                    {});
        layer.queryScale = scale ? *scale : 0.0f;
        layer.feedForwardNorm = layerNorm(name + QStringLiteral("/TransformerLayer/FFN/layer_prepostprocess/layer_norm"), width);
        layer.feedForwardIn = feedForward(name, QStringLiteral("conv1"), width, 3 * width);
        layer.feedForwardOut = feedForward(name, QStringLiteral("conv2"), 3 * width, width);
        return layer;
    }

    const QString &error() const { return m_error; }

private:
    const EncoderWeights &m_weights;
    QString m_error;
};

} // namespace

std::optional<EncoderParameters> bindEncoderParameters(const EncoderWeights &weights, QString *error)
{
    constexpr int embeddingWidth = 256;
    constexpr int vocabularyRows = 8002;
    constexpr int width = EncoderParameters::dimension;
    Binder bind(weights);
    EncoderParameters p;
    p.vocabularyRows = vocabularyRows;
    p.embeddingWidth = embeddingWidth;
    p.tokenEmbedding = bind.tensor(QStringLiteral("module/Embeddings_en"), {vocabularyRows, embeddingWidth});
    p.timingFrequencies = bind.tensor(applyPrefix + QStringLiteral("TransformerStack/Layer_0/AddTimingSignal/TimingSignal/ExpandDims_1"),
                                      {1, embeddingWidth / 2});
    p.layers[0] = bind.layer(0, embeddingWidth, width);
    p.layers[1] = bind.layer(1, width, width);
    p.layer0Residual = {bind.tensor(applyPrefix + QStringLiteral("Layer_0/TransformerLayer/dense/kernel") + concat, {embeddingWidth, width}),
                        bind.tensor(applyPrefix + QStringLiteral("Layer_0/TransformerLayer/dense/bias") + concat, {width}),
                        embeddingWidth, width};
    p.output = {bind.tensor(QStringLiteral("module/Encoder_en/hidden_layers/tanh_layer_0/weights"), {width, width}),
                bind.tensor(QStringLiteral("module/Encoder_en/hidden_layers/tanh_layer_0/bias"), {width}), width, width};
    if (!bind.error().isEmpty()) {
        *error = bind.error();
        return std::nullopt;
    }
    for (const auto &layer : p.layers) {
        if (!(layer.queryScale > 0.0f && layer.queryScale <= 1.0f)) {
            *error = QStringLiteral("attention scale %1 is out of range").arg(layer.queryScale);
            return std::nullopt;
        }
    }
    return p;
}

} // namespace snipbrook
