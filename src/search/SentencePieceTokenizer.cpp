#include "SentencePieceTokenizer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace snipbrook {
namespace {

constexpr char32_t wordBoundary = U'\u2581';

std::vector<char32_t> codePoints(const QString &text)
{
    std::vector<char32_t> out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = data[i];
        // A lone surrogate stays one symbol of its own, as the published runtime treats it.
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(data[i + 1]))
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), data[++i]);
        out.push_back(c);
    }
    return out;
}

QString nfkc(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *normalizer = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status))
        return text;
    const icu::UnicodeString source(false, reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()));
    const icu::UnicodeString normalized = normalizer->normalize(source, status);
    if (U_FAILURE(status))
        return text;
    return QString(reinterpret_cast<const QChar *>(normalized.getBuffer()), normalized.length());
}

std::uint64_t edgeKey(std::uint32_t node, char32_t symbol)
{
    return (static_cast<std::uint64_t>(node) << 21) | static_cast<std::uint64_t>(symbol & 0x1FFFFF);
}

std::size_t edgeSlot(std::uint64_t key, std::size_t mask)
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 20) & mask;
}

} // namespace

std::optional<SentencePieceTokenizer> SentencePieceTokenizer::fromJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        *error = QStringLiteral("vocabulary is not a JSON array");
        return std::nullopt;
    }
    const QJsonArray entries = document.array();
    if (entries.size() <= reservedIds) {
        *error = QStringLiteral("vocabulary has only %1 pieces").arg(entries.size());
        return std::nullopt;
    }

    SentencePieceTokenizer tokenizer;
    tokenizer.m_nodes.emplace_back(); // root
    tokenizer.m_edges.resize(1 << 16);
    tokenizer.m_pieceLengths.reserve(static_cast<std::size_t>(entries.size()));
    for (qsizetype id = 0; id < entries.size(); ++id) {
        const QJsonArray entry = entries.at(id).toArray();
        if (entry.size() < 2 || !entry.at(0).isString() || !(entry.at(1).isDouble() || entry.at(1).isNull())) {
            *error = QStringLiteral("vocabulary entry %1 is not a [piece, score] pair").arg(id);
            return std::nullopt;
        }
        const std::vector<char32_t> piece = codePoints(entry.at(0).toString());
        if (piece.empty() || piece.size() > 255) {
            *error = QStringLiteral("vocabulary entry %1 has a piece of %2 characters").arg(id).arg(piece.size());
            return std::nullopt;
        }
        tokenizer.m_pieceLengths.push_back(static_cast<std::uint8_t>(piece.size()));
        // Inserting in id order lets a later duplicate piece replace the earlier id.
        if (id >= reservedIds)
            tokenizer.insert(piece, static_cast<std::int32_t>(id), entry.at(1).toDouble(0.0));
    }
    return tokenizer;
}

void SentencePieceTokenizer::insert(const std::vector<char32_t> &piece, std::int32_t id, double score)
{
    std::uint32_t node = 0;
    for (const char32_t symbol : piece) {
        std::uint32_t next = child(node, symbol);
        if (next == 0)
            next = addChild(node, symbol);
        node = next;
    }
    m_nodes[node].id = id;
    m_nodes[node].score = score;
}

std::uint32_t SentencePieceTokenizer::child(std::uint32_t node, char32_t symbol) const
{
    const std::uint64_t key = edgeKey(node, symbol);
    const std::size_t mask = m_edges.size() - 1;
    for (std::size_t slot = edgeSlot(key, mask);; slot = (slot + 1) & mask) {
        const Edge &edge = m_edges[slot];
        if (edge.child == 0)
            return 0;
        if (edge.key == key)
            return edge.child;
    }
}

std::uint32_t SentencePieceTokenizer::addChild(std::uint32_t node, char32_t symbol)
{
    if ((m_edgeCount + 1) * 2 > m_edges.size())
        growEdges();
    const auto created = static_cast<std::uint32_t>(m_nodes.size());
    m_nodes.emplace_back();
    const std::uint64_t key = edgeKey(node, symbol);
    const std::size_t mask = m_edges.size() - 1;
    std::size_t slot = edgeSlot(key, mask);
    while (m_edges[slot].child != 0)
        slot = (slot + 1) & mask;
    m_edges[slot] = {key, created};
    ++m_edgeCount;
    return created;
}

void SentencePieceTokenizer::growEdges()
{
    std::vector<Edge> old = std::move(m_edges);
    m_edges.assign(old.size() * 2, Edge{});
    const std::size_t mask = m_edges.size() - 1;
    for (const Edge &edge : old) {
        if (edge.child == 0)
            continue;
        std::size_t slot = edgeSlot(edge.key, mask);
        while (m_edges[slot].child != 0)
            slot = (slot + 1) & mask;
        m_edges[slot] = edge;
    }
}

std::vector<std::int32_t> SentencePieceTokenizer::encode(const QString &text) const
{
    const QString normalized = nfkc(text);
    if (normalized.isEmpty())
        return {};
    std::vector<char32_t> symbols = codePoints(normalized);
    for (char32_t &symbol : symbols)
        if (symbol == U' ')
            symbol = wordBoundary;
    symbols.insert(symbols.begin(), wordBoundary);

    // best[e] is the score of the best path covering symbols [0, e); 0 doubles as "unset", which
    // the published runtime does too and which decides some ties.
    const std::size_t n = symbols.size();
    std::vector<double> best(n + 1, 0.0);
    std::vector<std::int32_t> words(n + 1, unknownId);
    // Visiting starts in ascending order gives, for each end, the candidates in the same order
    // as the reference's end-major loop, and best[start] is final when it is read.
    for (std::size_t start = 0; start < n; ++start) {
        const auto relax = [&](std::size_t end, double score, std::int32_t id) {
            const double total = score + best[start];
            if (best[end] == 0 || total >= best[end]) {
                best[end] = total;
                words[end] = id;
            }
        };
        bool matched = false;
        std::uint32_t node = 0;
        for (std::size_t end = start; end < n; ++end) {
            node = child(node, symbols[end]);
            if (node == 0)
                break;
            if (m_nodes[node].id >= 0) {
                relax(end + 1, m_nodes[node].score, m_nodes[node].id);
                matched = true;
            }
        }
        if (!matched)
            relax(start + 1, 0.0, unknownId);
    }

    std::vector<std::int32_t> ids;
    bool previousUnknown = false;
    for (std::size_t end = n; end > 0;) {
        const std::int32_t id = words[end];
        if (!(previousUnknown && id == unknownId))
            ids.push_back(id);
        previousUnknown = id == unknownId;
        // The unknown candidate always covers one symbol, whatever text id 0 has.
        const std::size_t length = id == unknownId ? 1 : m_pieceLengths[static_cast<std::size_t>(id)];
        end -= std::clamp<std::size_t>(length, 1, end);
    }
    std::reverse(ids.begin(), ids.end());
    return ids;
}

std::size_t SentencePieceTokenizer::memoryBytes() const
{
    return m_nodes.capacity() * sizeof(Node) + m_edges.capacity() * sizeof(Edge) + m_pieceLengths.capacity();
}

} // namespace snipbrook
