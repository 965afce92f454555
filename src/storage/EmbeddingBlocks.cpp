#include "EmbeddingBlocks.h"

#include <cassert>
#include <cstring>

namespace snipbrook {

uint32_t EmbeddingBlocks::insert(std::span<const float> vector)
{
    uint32_t slot;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
    } else {
        const size_t first = slotCount();
        m_blocks.resize(m_blocks.size() + m_dimension, Block{});
        // The new block's other lanes are free, lowest slot used first.
        for (size_t s = first + lanes - 1; s > first; --s)
            m_free.push_back(static_cast<uint32_t>(s));
        slot = static_cast<uint32_t>(first);
    }
    assign(slot, vector);
    return slot;
}

void EmbeddingBlocks::assign(uint32_t slot, std::span<const float> vector)
{
    assert(vector.size() == m_dimension);
    Block *block = m_blocks.data() + slot / lanes * m_dimension;
    const size_t lane = slot % lanes;
    for (size_t i = 0; i < m_dimension; ++i)
        block[i].lane[lane] = vector[i];
}

void EmbeddingBlocks::erase(uint32_t slot)
{
    Block *block = m_blocks.data() + slot / lanes * m_dimension;
    for (size_t i = 0; i < m_dimension; ++i)
        block[i].lane[slot % lanes] = 0.0f;
    m_free.push_back(slot);
}

std::vector<float> EmbeddingBlocks::vector(uint32_t slot) const
{
    std::vector<float> out(m_dimension);
    const Block *block = m_blocks.data() + slot / lanes * m_dimension;
    for (size_t i = 0; i < m_dimension; ++i)
        out[i] = block[i].lane[slot % lanes];
    return out;
}

void EmbeddingBlocks::scoreAll(std::span<const float> query, float *scores) const
{
    assert(query.size() == m_dimension);
    // Sixteen running sums in one vector value; the compiler maps it onto the machine's SIMD
    // registers. Products and sums stay separate operations (this file is built without
    // floating-point contraction), so every lane equals the scalar in-order sum.
    typedef float Sums __attribute__((vector_size(lanes * sizeof(float))));
    const size_t blockCount = m_dimension ? m_blocks.size() / m_dimension : 0;
    for (size_t b = 0; b < blockCount; ++b) {
        const Block *block = m_blocks.data() + b * m_dimension;
        Sums sums = {};
        for (size_t i = 0; i < m_dimension; ++i) {
            Sums components;
            std::memcpy(&components, block[i].lane, sizeof components);
            sums += query[i] * components;
        }
        std::memcpy(scores + b * lanes, &sums, sizeof sums);
    }
}

} // namespace snipbrook
