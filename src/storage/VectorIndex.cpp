#include "VectorIndex.h"

#include "model/Uuid.h"

#include <algorithm>

namespace snipbrook {

void VectorIndex::place(Map::value_type &node, std::span<const float> vector)
{
    if (vector.empty())
        return;
    Group &group = m_groups.try_emplace(vector.size(), vector.size()).first->second;
    const uint32_t slot = group.blocks.insert(vector);
    group.owners.resize(group.blocks.slotCount(), nullptr);
    group.owners[slot] = &node;
    node.second.slot = slot;
}

void VectorIndex::release(const Entry &entry)
{
    if (entry.dimension == 0)
        return;
    const auto group = m_groups.find(entry.dimension);
    group->second.blocks.erase(entry.slot);
    group->second.owners[entry.slot] = nullptr;
    if (group->second.blocks.size() == 0)
        m_groups.erase(group);
}

void VectorIndex::insert(const VectorItem &item)
{
    const auto [it, inserted] = m_entries.try_emplace(item.id);
    Entry &entry = it->second;
    if (!inserted) {
        if (entry.dimension == item.embedding.size() && entry.dimension != 0)
            m_groups.at(entry.dimension).blocks.assign(entry.slot, item.embedding);
        else
            release(entry);
    }
    const bool placed = !inserted && entry.dimension == item.embedding.size();
    entry.textIsUtf16 = !QStringView(item.text).isValidUtf16();
    entry.text = entry.textIsUtf16 ? QByteArray(reinterpret_cast<const char *>(item.text.utf16()), item.text.size() * 2)
                                   : item.text.toUtf8();
    entry.text.squeeze(); // the conversion leaves room for three bytes a character
    entry.metadata = IndexEntryMetadata(item.metadata, item.timestamp, m_metadataPool);
    entry.timestamp = item.timestamp;
    entry.timestampMs = item.timestamp.toMSecsSinceEpoch();
    entry.dimension = item.embedding.size();
    if (!placed)
        place(*it, item.embedding);
}

QString VectorIndex::textOf(const Entry &entry)
{
    if (entry.textIsUtf16)
        return QString(reinterpret_cast<const QChar *>(entry.text.constData()), entry.text.size() / 2);
    return QString::fromUtf8(entry.text);
}

bool VectorIndex::remove(const QString &key)
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return false;
    release(it->second);
    m_entries.erase(it);
    return true;
}

void VectorIndex::clear()
{
    m_entries.clear();
    m_groups.clear();
    m_metadataPool.clear();
}

std::optional<VectorItem> VectorIndex::entry(const QString &key) const
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return std::nullopt;
    const Entry &entry = it->second;
    std::vector<float> embedding;
    if (entry.dimension != 0)
        embedding = m_groups.at(entry.dimension).blocks.vector(entry.slot);
    return VectorItem{it->first, textOf(entry), std::move(embedding), entry.metadata.toMap(entry.timestamp), entry.timestamp};
}

QList<QString> VectorIndex::keys() const
{
    QList<QString> result;
    result.reserve(qsizetype(m_entries.size()));
    for (const auto &[key, entry] : m_entries)
        result.append(key);
    return result;
}

void VectorIndex::forEachInKeyOrder(const std::function<void(const VectorItem &)> &visit) const
{
    std::vector<const Map::value_type *> nodes;
    nodes.reserve(m_entries.size());
    for (const auto &node : m_entries)
        nodes.push_back(&node);
    std::sort(nodes.begin(), nodes.end(), [](const auto *a, const auto *b) { return a->first < b->first; });
    VectorItem item; // reused, so one entry at a time is copied
    for (const auto *node : nodes) {
        const Entry &entry = node->second;
        item.id = node->first;
        item.text = textOf(entry);
        item.embedding = entry.dimension != 0 ? m_groups.at(entry.dimension).blocks.vector(entry.slot) : std::vector<float>{};
        item.metadata = entry.metadata.toMap(entry.timestamp);
        item.timestamp = entry.timestamp;
        visit(item);
    }
}

std::vector<VectorItem> VectorIndex::entries() const
{
    std::vector<VectorItem> all;
    all.reserve(m_entries.size());
    for (const auto &node : m_entries)
        all.push_back(*entry(node.first));
    return all;
}

QList<VectorSearchResult> VectorIndex::search(std::span<const float> query, const QueryContext &context, int limit) const
{
    const auto group = m_groups.find(query.size());
    if (limit <= 0 || query.empty() || group == m_groups.end())
        return {};
    const EmbeddingBlocks &blocks = group->second.blocks;
    const auto &owners = group->second.owners;

    std::vector<float> scores(blocks.slotCount());
    blocks.scoreAll(query, scores.data());

    struct Hit {
        float score;
        uint32_t slot;
    };
    std::vector<Hit> hits;
    const bool narrows = context.narrows();
    for (uint32_t slot = 0; slot < scores.size(); ++slot) {
        const auto *owner = owners[slot];
        if (!owner || !(scores[slot] > minimumScore))
            continue;
        if (narrows && !context.admits(owner->second.metadata.type(), owner->second.timestampMs))
            continue;
        hits.push_back({scores[slot], slot});
    }

    const auto best = hits.begin() + std::min<qsizetype>(limit, static_cast<qsizetype>(hits.size()));
    std::partial_sort(hits.begin(), best, hits.end(), [](const Hit &a, const Hit &b) {
        return a.score > b.score || (a.score == b.score && a.slot < b.slot);
    });

    QList<VectorSearchResult> results;
    for (auto hit = hits.begin(); hit != best; ++hit) {
        const auto *owner = owners[hit->slot];
        if (const auto id = parseUuid(owner->first))
            results.append(VectorSearchResult{*id, hit->score, owner->second.metadata.toMap(owner->second.timestamp)});
    }
    return results;
}

} // namespace snipbrook
