#include "IndexText.h"
#include "VectorIndexFile.h"

#include <QHash>

#include <cctype>

#include <string>
#include <string_view>

namespace snipbrook {
namespace {

// Hostile files may nest arrays without end; deeper documents are refused instead of recursing.
constexpr int maxDepth = 256;

// A strict JSON reader (RFC 8259) that walks the document once and keeps only what an index
// entry needs. Every function leaves the position after what it read and returns false once an
// error is recorded.
class IndexReader {
public:
    explicit IndexReader(QByteArrayView bytes) : m_begin(bytes.data()), m_p(bytes.data()), m_end(bytes.data() + bytes.size()) {}

    VectorIndexDecoding read(const VectorIndexEntrySink &sink);

private:
    bool fail(const char *what)
    {
        if (!m_error)
            m_error = QStringLiteral("%1 at byte %2").arg(QLatin1String(what)).arg(m_p - m_begin);
        return false;
    }

    void skipWhitespace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    // The next significant character, or 0 at the end.
    char peek()
    {
        skipWhitespace();
        return m_p < m_end ? *m_p : '\0';
    }

    bool scanString(std::string_view &raw, bool &escaped);
    static std::string unescape(std::string_view raw);
    bool readString(QString &out);
    bool skipValue(int depth);
    bool skipNumber();
    bool skipLiteral(std::string_view word);

    template <typename OnMember>
    bool forEachMember(int depth, OnMember onMember);
    template <typename OnElement>
    bool forEachElement(int depth, OnElement onElement);

    bool readEntry(int depth, VectorItem &entry, bool &wellFormed);
    bool readEmbedding(int depth, std::vector<float> &embedding, bool &wellFormed);
    bool readMetadata(int depth, QMap<QString, QString> &metadata, bool &wellFormed);

    const char *const m_begin;
    const char *m_p;
    const char *const m_end;
    std::optional<QString> m_error;
    size_t m_lastDimension = 0;
};

bool IndexReader::scanString(std::string_view &raw, bool &escaped)
{
    ++m_p; // opening quote
    const char *start = m_p;
    escaped = false;
    while (m_p < m_end) {
        const auto c = static_cast<unsigned char>(*m_p);
        if (c == '"') {
            raw = std::string_view(start, static_cast<size_t>(m_p - start));
            ++m_p;
            return true;
        }
        if (c < 0x20)
            return fail("control character in string");
        if (c != '\\') {
            ++m_p;
            continue;
        }
        escaped = true;
        if (++m_p == m_end)
            break;
        switch (*m_p) {
        case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
            ++m_p;
            break;
        case 'u':
            ++m_p;
            for (int i = 0; i < 4; ++i, ++m_p) {
                if (m_p == m_end || !std::isxdigit(static_cast<unsigned char>(*m_p)))
                    return fail("invalid \\u escape");
            }
            break;
        default:
            return fail("invalid escape");
        }
    }
    return fail("unterminated string");
}

// Resolves the escapes of a string already checked by scanString. A lone surrogate becomes U+FFFD.
std::string IndexReader::unescape(std::string_view raw)
{
    const auto hex4 = [](const char *p) {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = p[i];
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        return value;
    };
    const auto appendUtf8 = [](std::string &out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };

    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        const char kind = raw[++i];
        switch (kind) {
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            unsigned cp = hex4(raw.data() + i + 1);
            i += 4;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 6 < raw.size() && raw[i + 1] == '\\' && raw[i + 2] == 'u') {
                const unsigned low = hex4(raw.data() + i + 3);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
            }
            if (cp >= 0xD800 && cp <= 0xDFFF)
                cp = 0xFFFD;
            appendUtf8(out, cp);
            break;
        }
        default: out += kind; // " \ /
        }
    }
    return out;
}

bool IndexReader::readString(QString &out)
{
    std::string_view raw;
    bool escaped = false;
    if (!scanString(raw, escaped))
        return false;
    if (escaped) {
        const std::string plain = unescape(raw);
        out = QString::fromUtf8(plain.data(), static_cast<qsizetype>(plain.size()));
    } else {
        out = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
    }
    return true;
}

bool IndexReader::skipLiteral(std::string_view word)
{
    if (static_cast<size_t>(m_end - m_p) < word.size() || std::string_view(m_p, word.size()) != word)
        return fail("unexpected character");
    m_p += word.size();
    return true;
}

bool IndexReader::skipNumber()
{
    const auto digit = [this] { return m_p < m_end && *m_p >= '0' && *m_p <= '9'; };
    if (m_p < m_end && *m_p == '-')
        ++m_p;
    if (!digit())
        return fail("invalid number");
    if (*m_p == '0')
        ++m_p;
    else
        while (digit())
            ++m_p;
    if (m_p < m_end && *m_p == '.') {
        ++m_p;
        if (!digit())
            return fail("invalid number");
        while (digit())
            ++m_p;
    }
    if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
        ++m_p;
        if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
            ++m_p;
        if (!digit())
            return fail("invalid number");
        while (digit())
            ++m_p;
    }
    return true;
}

template <typename OnMember>
bool IndexReader::forEachMember(int depth, OnMember onMember)
{
    if (depth > maxDepth)
        return fail("nesting too deep");
    ++m_p; // {
    if (peek() == '}') {
        ++m_p;
        return true;
    }
    for (;;) {
        if (peek() != '"')
            return fail(m_p == m_end ? "unexpected end of data" : "expected a member name");
        QString name;
        if (!readString(name))
            return false;
        if (peek() != ':')
            return fail("expected ':'");
        ++m_p;
        if (!onMember(name))
            return false;
        const char next = peek();
        ++m_p;
        if (next == '}')
            return true;
        if (next != ',') {
            --m_p;
            return fail(next ? "expected ',' or '}'" : "unexpected end of data");
        }
    }
}

template <typename OnElement>
bool IndexReader::forEachElement(int depth, OnElement onElement)
{
    if (depth > maxDepth)
        return fail("nesting too deep");
    ++m_p; // [
    if (peek() == ']') {
        ++m_p;
        return true;
    }
    for (;;) {
        if (!onElement())
            return false;
        const char next = peek();
        ++m_p;
        if (next == ']')
            return true;
        if (next != ',') {
            --m_p;
            return fail(next ? "expected ',' or ']'" : "unexpected end of data");
        }
    }
}

bool IndexReader::skipValue(int depth)
{
    switch (peek()) {
    case '{':
        return forEachMember(depth + 1, [&](const QString &) { return skipValue(depth + 1); });
    case '[':
        return forEachElement(depth + 1, [&] { return skipValue(depth + 1); });
    case '"': {
        std::string_view raw;
        bool escaped = false;
        return scanString(raw, escaped);
    }
    case 't': return skipLiteral("true");
    case 'f': return skipLiteral("false");
    case 'n': return skipLiteral("null");
    case '\0':
        if (m_p == m_end)
            return fail("unexpected end of data");
        return fail("unexpected character");
    default:
        if (*m_p == '-' || (*m_p >= '0' && *m_p <= '9'))
            return skipNumber();
        return fail("unexpected character");
    }
}

bool IndexReader::readEmbedding(int depth, std::vector<float> &embedding, bool &wellFormed)
{
    embedding.clear();
    embedding.reserve(m_lastDimension);
    wellFormed = true;
    const bool read = forEachElement(depth, [&] {
        if (peek() != '"') {
            wellFormed = false;
            return skipValue(depth);
        }
        std::string_view raw;
        bool escaped = false;
        if (!scanString(raw, escaped))
            return false;
        const std::optional<float> value = escaped ? parseFloatComponent(unescape(raw)) : parseFloatComponent(raw);
        if (value)
            embedding.push_back(*value);
        else
            wellFormed = false;
        return true;
    });
    if (wellFormed)
        m_lastDimension = embedding.size();
    return read;
}

bool IndexReader::readMetadata(int depth, QMap<QString, QString> &metadata, bool &wellFormed)
{
    metadata.clear();
    wellFormed = true;
    return forEachMember(depth, [&](const QString &key) {
        if (peek() != '"') {
            wellFormed = false;
            return skipValue(depth);
        }
        QString value;
        if (!readString(value))
            return false;
        metadata.insert(key, value);
        return true;
    });
}

bool IndexReader::readEntry(int depth, VectorItem &entry, bool &wellFormed)
{
    // A repeated member counts with its last value, as in any JSON object.
    bool hasText = false, hasEmbedding = false, hasMetadata = false, hasTimestamp = false;
    const bool read = forEachMember(depth, [&](const QString &name) {
        const int inner = depth + 1;
        if (name == QLatin1String("text")) {
            hasText = peek() == '"';
            return hasText ? readString(entry.text) : skipValue(inner);
        }
        if (name == QLatin1String("embedding")) {
            hasEmbedding = false;
            return peek() == '[' ? readEmbedding(inner, entry.embedding, hasEmbedding) : skipValue(inner);
        }
        if (name == QLatin1String("metadata")) {
            hasMetadata = false;
            return peek() == '{' ? readMetadata(inner, entry.metadata, hasMetadata) : skipValue(inner);
        }
        if (name == QLatin1String("timestamp")) {
            hasTimestamp = false;
            if (peek() != '"')
                return skipValue(inner);
            QString text;
            if (!readString(text))
                return false;
            if (const auto time = parseInternetDateTime(text)) {
                entry.timestamp = *time;
                hasTimestamp = true;
            }
            return true;
        }
        return skipValue(inner);
    });
    wellFormed = hasText && hasEmbedding && hasMetadata && hasTimestamp;
    return read;
}

VectorIndexDecoding IndexReader::read(const VectorIndexEntrySink &sink)
{
    VectorIndexDecoding result;
    if (m_end - m_p >= 3 && std::string_view(m_p, 3) == "\xEF\xBB\xBF")
        m_p += 3;
    skipWhitespace();
    if (m_p == m_end) {
        result.error = QStringLiteral("no JSON document (empty file)");
        return result;
    }

    // One entry reused for every member, so its vector's storage is allocated once, not per entry.
    VectorItem entry;
    bool read = true;
    if (peek() == '{') {
        read = forEachMember(1, [&](const QString &key) {
            if (peek() != '{') {
                result.allObjects = false;
                if (!skipValue(1))
                    return false;
                sink.dropped(key);
                return true;
            }
            bool wellFormed = false;
            if (!readEntry(2, entry, wellFormed))
                return false;
            if (wellFormed) {
                entry.id = key;
                sink.entry(entry);
            } else {
                sink.dropped(key);
            }
            return true;
        });
    } else {
        result.allObjects = false;
        read = skipValue(0);
    }
    skipWhitespace();
    if (read && m_p != m_end)
        fail("unexpected data after the document");
    result.error = m_error;
    return result;
}

} // namespace

VectorIndexDecoding decodeVectorIndex(QByteArrayView bytes, const VectorIndexEntrySink &sink)
{
    return IndexReader(bytes).read(sink);
}

DecodedVectorIndex decodeVectorIndex(QByteArrayView bytes)
{
    // Members in the order of their first appearance; a repeated key keeps its last value.
    std::vector<std::optional<VectorItem>> members;
    QHash<QString, size_t> positions;
    const auto slot = [&](const QString &key) -> std::optional<VectorItem> & {
        const auto known = positions.constFind(key);
        if (known != positions.cend())
            return members[*known];
        positions.insert(key, members.size());
        return members.emplace_back();
    };
    const VectorIndexDecoding decoding = decodeVectorIndex(
        bytes, {[&](const VectorItem &entry) { slot(entry.id) = entry; }, [&](const QString &key) { slot(key).reset(); }});

    DecodedVectorIndex result;
    result.error = decoding.error;
    if (decoding.error || !decoding.allObjects)
        return result;
    result.entries.reserve(members.size());
    for (auto &member : members)
        if (member)
            result.entries.push_back(std::move(*member));
    return result;
}

} // namespace snipbrook
