#pragma once

#include "search/TextEmbeddingModel.h"

#include <QHash>

#include <mutex>

namespace snipbrook::test {

// A model with a fixed table of vectors; records every text it is asked for.
class FakeEmbeddingModel final : public TextEmbeddingModel {
public:
    explicit FakeEmbeddingModel(QHash<QString, std::vector<float>> table) : m_table(std::move(table)) {}

    std::optional<std::vector<float>> vector(const QString &text) const override
    {
        std::lock_guard lock(m_mutex);
        m_asked << text;
        const auto found = m_table.constFind(text);
        return found == m_table.constEnd() ? std::nullopt : std::optional(*found);
    }

    QStringList asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    QHash<QString, std::vector<float>> m_table;
    mutable std::mutex m_mutex;
    mutable QStringList m_asked;
};

} // namespace snipbrook::test
