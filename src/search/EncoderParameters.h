#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace snipbrook {

class EncoderWeights;

// Views into the weight stream for the parts of the graph the forward pass uses. Matrices are
// row-major [in, out]; a dense step is y = x·W + b.
struct DenseParameters {
    const float *weights = nullptr;
    const float *bias = nullptr;
    int in = 0;
    int out = 0;
};

struct LayerNormParameters {
    const float *scale = nullptr;
    const float *bias = nullptr;
    int width = 0;
};

struct TransformerLayerParameters {
    LayerNormParameters attentionNorm;
    DenseParameters queryKeyValue; // q, k, v side by side in the columns
    DenseParameters attentionOutput;
    float queryScale = 0;
    int heads = 4;
    LayerNormParameters feedForwardNorm;
    DenseParameters feedForwardIn;
    DenseParameters feedForwardOut;
};

struct EncoderParameters {
    static constexpr int maxTokens = 128;
    static constexpr int dimension = 512;

    const float *tokenEmbedding = nullptr; // [vocabularyRows, embeddingWidth]
    int vocabularyRows = 0;
    int embeddingWidth = 0;
    const float *timingFrequencies = nullptr; // [embeddingWidth / 2]
    TransformerLayerParameters layers[2];
    DenseParameters layer0Residual; // widens the input of layer 0 to 512 columns
    DenseParameters output;         // tanh layer
};

// Finds every tensor the forward pass reads and checks its shape. Nothing (and the reason) when
// one is missing or shaped differently.
std::optional<EncoderParameters> bindEncoderParameters(const EncoderWeights &weights, QString *error);

// The unit-length sentence vectors of several texts, given as token ids (each text non-empty;
// only its first maxTokens ids are read). Texts are stacked into one matrix for the dense steps
// and attend only to their own tokens.
std::vector<std::vector<float>> runEncoder(const EncoderParameters &parameters,
                                           const std::vector<std::vector<std::int32_t>> &texts);

} // namespace snipbrook
