#include "FakeEmbedders.h"

#include <QRegularExpression>

#include <cmath>

namespace snipbrook::test {

std::optional<std::vector<float>> HashingEmbedder::generateEmbedding(const QString &text) const
{
    ++m_calls;
    if (text.trimmed().size() < 3)
        return std::nullopt;
    std::vector<float> vector(m_dimension, 0.0f);
    static const QRegularExpression nonWord(QStringLiteral("[^\\w]+"));
    for (const QString &word : text.toLower().split(nonWord, Qt::SkipEmptyParts)) {
        const size_t hash = qHash(word, 0);
        vector[hash % m_dimension] += (hash >> 20) & 1 ? 1.0f : -1.0f;
    }
    float norm = 0.0f;
    for (const float v : vector)
        norm += v * v;
    norm = std::sqrt(norm);
    if (norm > 0.0f)
        for (float &v : vector)
            v /= norm;
    return vector;
}

void TableEmbedder::set(const QString &text, std::vector<float> vector)
{
    std::lock_guard lock(m_mutex);
    m_vectors.insert(text, std::move(vector));
}

void TableEmbedder::hold(const QString &text)
{
    std::lock_guard lock(m_mutex);
    m_held.insert(text);
}

void TableEmbedder::release(const QString &text)
{
    {
        std::lock_guard lock(m_mutex);
        m_held.remove(text);
    }
    m_released.notify_all();
}

bool TableEmbedder::isWaiting(const QString &text) const
{
    std::lock_guard lock(m_mutex);
    return m_waiting.contains(text);
}

bool TableEmbedder::wasRequested(const QString &text) const
{
    std::lock_guard lock(m_mutex);
    return m_requested.contains(text);
}

std::optional<std::vector<float>> TableEmbedder::generateEmbedding(const QString &text) const
{
    std::unique_lock lock(m_mutex);
    m_requested.insert(text);
    m_waiting.insert(text);
    m_released.wait(lock, [&] { return !m_held.contains(text); });
    m_waiting.remove(text);
    const auto it = m_vectors.constFind(text);
    if (it == m_vectors.cend())
        return std::nullopt;
    return *it;
}

} // namespace snipbrook::test
