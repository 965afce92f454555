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
    // Four running sums of four lanes each, held in SIMD registers. Products and sums stay separate
    // operations (this file is built without floating-point contraction), so every lane equals
    // the scalar in-order sum.
    static_assert(lanes == 16);
    typedef float Four __attribute__((vector_size(4 * sizeof(float))));
    const auto load = [](const float *from) {
        Four v;
        std::memcpy(&v, from, sizeof v);
        return v;
    };
    const size_t blockCount = m_dimension ? m_blocks.size() / m_dimension : 0;
    for (size_t b = 0; b < blockCount; ++b) {
        const Block *block = m_blocks.data() + b * m_dimension;
        Four s0 = {}, s1 = {}, s2 = {}, s3 = {};
        for (size_t i = 0; i < m_dimension; ++i) {
            const float q = query[i];
            const float *c = block[i].lane;
            s0 += q * load(c);
            s1 += q * load(c + 4);
            s2 += q * load(c + 8);
            s3 += q * load(c + 12);
        }
        float *out = scores + b * lanes;
        std::memcpy(out, &s0, sizeof s0);
        std::memcpy(out + 4, &s1, sizeof s1);
        std::memcpy(out + 8, &s2, sizeof s2);
        std::memcpy(out + 12, &s3, sizeof s3);
    }
}

} // namespace snipbrook
