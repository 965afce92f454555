#include "EmbeddingBlocks.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace snipbrook {
namespace {

struct Quantized {
    std::vector<int8_t> steps;
    float scale = 0.0f;
};

// Components as steps of largest / 127, rounded to the nearest; all zero for a zero vector.
Quantized quantized(std::span<const float> vector)
{
    float largest = 0.0f;
    for (const float x : vector)
        largest = std::max(largest, std::fabs(x));
    Quantized out{std::vector<int8_t>(vector.size(), 0), 0.0f};
    if (!(largest > 0.0f) || !std::isfinite(largest))
        return out;
    out.scale = largest / 127.0f;
    for (size_t i = 0; i < vector.size(); ++i)
        out.steps[i] = static_cast<int8_t>(std::clamp(std::nearbyint(vector[i] / out.scale), -127.0f, 127.0f));
    return out;
}

} // namespace

uint32_t EmbeddingBlocks::insert(std::span<const float> vector)
{
    uint32_t slot;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
    } else {
        const size_t first = slotCount();
        m_blocks.resize(m_blocks.size() + m_dimension, Block{});
        m_scales.resize(m_scales.size() + lanes, 0.0f);
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
    const Quantized q = quantized(vector);
    for (size_t i = 0; i < m_dimension; ++i)
        block[i].lane[lane] = q.steps[i];
    m_scales[slot] = q.scale;
}

void EmbeddingBlocks::erase(uint32_t slot)
{
    Block *block = m_blocks.data() + slot / lanes * m_dimension;
    for (size_t i = 0; i < m_dimension; ++i)
        block[i].lane[slot % lanes] = 0;
    m_scales[slot] = 0.0f;
    m_free.push_back(slot);
}

std::vector<float> EmbeddingBlocks::vector(uint32_t slot) const
{
    std::vector<float> out(m_dimension);
    const Block *block = m_blocks.data() + slot / lanes * m_dimension;
    for (size_t i = 0; i < m_dimension; ++i)
        out[i] = static_cast<float>(block[i].lane[slot % lanes]) * m_scales[slot];
    return out;
}

void EmbeddingBlocks::scoreAll(std::span<const float> query, float *scores) const
{
    assert(query.size() == m_dimension);
    // The query is held as small integers too (its largest component maps to ±127), so a score
    // is an exact integer sum times the two scales: products fit 16 bits, the running sums of
    // sixteen lanes are 32-bit integers in SIMD registers, and no order of summing can change it.
    static_assert(lanes == 16);
    typedef int8_t Bytes __attribute__((vector_size(lanes)));
    typedef int16_t Shorts __attribute__((vector_size(lanes * sizeof(int16_t))));
    typedef int32_t Ints __attribute__((vector_size(lanes * sizeof(int32_t))));
    typedef float Floats __attribute__((vector_size(lanes * sizeof(float))));

    const Quantized q = quantized(query);
    const size_t blockCount = m_dimension ? m_blocks.size() / m_dimension : 0;
    for (size_t b = 0; b < blockCount; ++b) {
        const Block *block = m_blocks.data() + b * m_dimension;
        Ints sum = {};
        for (size_t i = 0; i < m_dimension; ++i) {
            Bytes stored;
            std::memcpy(&stored, block[i].lane, sizeof stored);
            const Shorts products = static_cast<int16_t>(q.steps[i]) * __builtin_convertvector(stored, Shorts);
            sum += __builtin_convertvector(products, Ints);
        }
        Floats scales;
        std::memcpy(&scales, m_scales.data() + b * lanes, sizeof scales);
        const Floats out = __builtin_convertvector(sum, Floats) * (scales * q.scale);
        std::memcpy(scores + b * lanes, &out, sizeof out);
    }
}

} // namespace snipbrook
