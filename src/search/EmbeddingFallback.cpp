// The model-free fallback vector and the scaling to unit length.
#include "EmbeddingManager.h"

#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <cmath>

namespace snipbrook {
namespace {

// The character's ASCII code when it is one code point below 128 (a CR LF pair counts as a
// line feed); 0 for every other character.
int asciiValue(QStringView character)
{
    if (character == u"\r\n")
        return '\n';
    if (character.size() == 1 && character[0].unicode() < 128)
        return character[0].unicode();
    return 0;
}

} // namespace

EmbeddingManager::Vector EmbeddingManager::fallbackEmbedding(const QString &text)
{
    diag(QStringLiteral("🔄 Using fallback embedding for: ") + logSnippet(text) + QStringLiteral("..."));
    Vector vector(fallbackDimension, 0.0f);
    const QString lowered = text.toLower();
    const std::vector<QStringView> chars = graphemeClusters(lowered);
    if (chars.empty())
        return vector;
    const auto n = static_cast<float>(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i)
        vector[i % fallbackDimension] += static_cast<float>(asciiValue(chars[i])) / n;
    return normalize(std::move(vector));
}

EmbeddingManager::Vector EmbeddingManager::normalize(Vector vector)
{
    float sumOfSquares = 0.0f;
    for (const float x : vector)
        sumOfSquares += x * x;
    const float magnitude = std::sqrt(sumOfSquares);
    if (magnitude > 0.0f)
        for (float &x : vector)
            x /= magnitude;
    return vector;
}

} // namespace snipbrook
