#pragma once

#include "core/Embedder.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace snipbrook::test {

// A bag-of-words embedder: every lower-cased word adds ±1 to a hashed component, and the result
// is scaled to unit length. Texts sharing words score high together; others near 0. Texts of
// fewer than three characters after trimming have no embedding, as with the real encoder.
class HashingEmbedder : public Embedder {
public:
    explicit HashingEmbedder(size_t dimension = 64) : m_dimension(dimension) {}
    std::optional<std::vector<float>> generateEmbedding(const QString &text) const override;

    int calls() const { return m_calls; }

private:
    size_t m_dimension;
    mutable std::atomic<int> m_calls{0};
};

// Returns exactly the vectors a test sets per text (nothing for other texts). A held text's
// embedding waits until the test releases it, so tests can order concurrent work.
class TableEmbedder : public Embedder {
public:
    void set(const QString &text, std::vector<float> vector);
    void hold(const QString &text);
    void release(const QString &text);
    // True once some caller is waiting on the held text.
    bool isWaiting(const QString &text) const;
    bool wasRequested(const QString &text) const;

    std::optional<std::vector<float>> generateEmbedding(const QString &text) const override;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    QHash<QString, std::vector<float>> m_vectors;
    QSet<QString> m_held;
    mutable QSet<QString> m_waiting;
    mutable QSet<QString> m_requested;
};

} // namespace snipbrook::test
