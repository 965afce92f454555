#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace snipbrook {

// Vectors of one length, stored contiguously so that scoring a query against all of them is one
// streaming pass. Each vector is held as signed bytes times one scale of its own (its largest
// component maps to ±127): a quarter of the memory of floats, and for the unit vectors of the
// sentence encoder a score moves by about 0.001, far below what tells results apart. Slots are
// interleaved in blocks of `lanes`: component i of the vectors of one block lie next to each
// other, so one step multiplies query[i] with `lanes` vectors at once. A removed slot is zeroed
// and reused by the next insert.
class EmbeddingBlocks {
public:
    static constexpr size_t lanes = 16;

    explicit EmbeddingBlocks(size_t dimension) : m_dimension(dimension) {}

    size_t dimension() const { return m_dimension; }
    // Slots in use or free; scores are written for all of them.
    size_t slotCount() const { return m_blocks.size() / (m_dimension ? m_dimension : 1) * lanes; }
    size_t size() const { return slotCount() - m_free.size(); }

    // `vector` must have dimension() finite components.
    uint32_t insert(std::span<const float> vector);
    void assign(uint32_t slot, std::span<const float> vector);
    void erase(uint32_t slot);
    // The vector as stored: within half a step (largest component / 254) of what was assigned.
    std::vector<float> vector(uint32_t slot) const;

    // scores[s] = (Σ q[i] × v_s[i]) × query scale × scale_s for every slot (0 for free ones), where
    // q and v_s are the integer steps of the query and of vector s: an exact integer sum, the same
    // whatever the order. `scores` must hold slotCount() floats.
    void scoreAll(std::span<const float> query, float *scores) const;

private:
    struct alignas(16) Block {
        int8_t lane[lanes];
    };

    size_t m_dimension;
    std::vector<Block> m_blocks; // block b holds components at [b * dimension, (b + 1) * dimension)
    std::vector<float> m_scales; // per slot
    std::vector<uint32_t> m_free;
};

} // namespace snipbrook
