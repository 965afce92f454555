#include "TextEmbeddingModel.h"

namespace snipbrook {

std::vector<std::optional<std::vector<float>>> TextEmbeddingModel::vectors(const QStringList &texts) const
{
    std::vector<std::optional<std::vector<float>>> out;
    out.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString &text : texts)
        out.push_back(vector(text));
    return out;
}

} // namespace snipbrook
