#pragma once

#include "EmbeddingBlocks.h"
#include "IndexEntryMetadata.h"
#include "QueryContext.h"
#include "VectorItem.h"
#include "core/VectorSearchResult.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace snipbrook {

// The in-memory vector index: entries by key, their vectors kept contiguously per vector length.
// Not thread-safe; the vector store touches it only on its queue.
class VectorIndex {
public:
    // Scores must exceed this to be returned.
    static constexpr float minimumScore = 0.1f;

    VectorIndex() = default;
    VectorIndex(const VectorIndex &) = delete;
    VectorIndex &operator=(const VectorIndex &) = delete;
    VectorIndex(VectorIndex &&) = default;
    VectorIndex &operator=(VectorIndex &&) = default;

    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    bool contains(const QString &key) const { return m_entries.count(key) != 0; }

    // Adds the entry under item.id, replacing an entry with that key.
    void insert(const VectorItem &item);
    bool remove(const QString &key);
    void clear();

    std::optional<VectorItem> entry(const QString &key) const;
    // Every key, in no particular order.
    QList<QString> keys() const;
    // Visits every entry in key order, one at a time, without copying the index.
    void forEachInKeyOrder(const std::function<void(const VectorItem &)> &visit) const;
    // Every entry, in no particular order.
    std::vector<VectorItem> entries() const;

    // The entries the context admits whose vector has the query's (non-zero) length, scored by
    // the in-order float sum of products, above minimumScore, best first, at most `limit`;
    // entries whose key is not an id are dropped after the limit is taken. Equal scores keep
    // storage order.
    QList<VectorSearchResult> search(std::span<const float> query, const QueryContext &context, int limit) const;

private:
    struct Entry {
        // UTF-8, half the size of the text's UTF-16 for the mostly Latin texts copied; UTF-16 as
        // it is for text that UTF-8 cannot carry unchanged (a lone surrogate).
        QByteArray text;
        bool textIsUtf16 = false;
        IndexEntryMetadata metadata;
        QDateTime timestamp;
        qint64 timestampMs = 0;
        size_t dimension = 0;
        uint32_t slot = 0; // in the group of its dimension; unused for empty vectors
    };
    using Map = std::unordered_map<QString, Entry>;

    // The vectors of one length and, per slot, the entry that owns it (null when free).
    struct Group {
        explicit Group(size_t dimension) : blocks(dimension) {}
        EmbeddingBlocks blocks;
        std::vector<const Map::value_type *> owners;
    };

    void place(Map::value_type &node, std::span<const float> vector);
    void release(const Entry &entry);
    static QString textOf(const Entry &entry);

    Map m_entries;
    IndexMetadataPool m_metadataPool;
    std::unordered_map<size_t, Group> m_groups;
};

} // namespace snipbrook
