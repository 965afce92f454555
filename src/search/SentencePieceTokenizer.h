#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace snipbrook {

// The unigram SentencePiece tokenizer of the sentence encoder, reproducing the published
// runtime's ids exactly, quirks included: NFKC, "▁" for each U+0020 only, a best path in double
// precision where a zero total counts as unset and ties go to the later candidate, and runs of
// unknown pieces merged into one id 0.
class SentencePieceTokenizer {
public:
    // Ids below this are control symbols that never match text.
    static constexpr int reservedIds = 6;
    static constexpr std::int32_t unknownId = 0;

    // Builds the tokenizer from vocab.json (an array of [piece, score] pairs, the id being the
    // index; a null score counts as 0). Returns nothing and a reason when the document is not
    // such an array.
    static std::optional<SentencePieceTokenizer> fromJson(const QByteArray &json, QString *error);

    // Token ids of the whole text; empty when the normalised text is empty.
    std::vector<std::int32_t> encode(const QString &text) const;

    int vocabularySize() const { return static_cast<int>(m_pieceLengths.size()); }
    std::size_t memoryBytes() const;

private:
    struct Node {
        std::int32_t id = -1; // piece ending here, or -1
        double score = 0;
    };
    struct Edge {
        std::uint64_t key = 0;
        std::uint32_t child = 0; // 0 = empty slot (the root is never a child)
    };

    void insert(const std::vector<char32_t> &piece, std::int32_t id, double score);
    std::uint32_t child(std::uint32_t node, char32_t symbol) const;
    std::uint32_t addChild(std::uint32_t node, char32_t symbol);
    void growEdges();

    std::vector<Node> m_nodes;
    std::vector<Edge> m_edges; // open addressing, power-of-two size
    std::size_t m_edgeCount = 0;
    std::vector<std::uint8_t> m_pieceLengths; // in code points, by id
};

} // namespace snipbrook
