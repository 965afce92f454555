#include "IndexText.h"
#include "VectorIndexFile.h"
#include "VectorIndex.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace snipbrook {
namespace {

// Appends to a byte buffer that grows geometrically; writing half a million float texts through
// QByteArray::append one piece at a time costs more than formatting them. With a device, the
// buffer is handed to it whenever it passes a megabyte, so it stays small.
class Output {
public:
    explicit Output(qsizetype estimate, QIODevice *device = nullptr) : m_device(device)
    {
        m_bytes.resize(std::max<qsizetype>(estimate, 64));
    }

    // Hands what is buffered to the device (if any) once it is large enough, or at the end.
    bool drain(bool always = false)
    {
        if (!m_device || (!always && m_size < flushSize))
            return m_ok;
        m_ok = m_ok && m_device->write(m_bytes.constData(), m_size) == m_size;
        m_size = 0;
        return m_ok;
    }

    void raw(std::string_view text)
    {
        char *at = reserve(static_cast<qsizetype>(text.size()));
        std::memcpy(at, text.data(), text.size());
        m_size += static_cast<qsizetype>(text.size());
    }

    void floatText(float value)
    {
        char *at = reserve(32);
        m_size += std::to_chars(at, at + 32, value).ptr - at;
    }

    void string(const QString &text)
    {
        static constexpr char hex[] = "0123456789abcdef";
        const QByteArray utf8 = text.toUtf8();
        char *at = reserve(utf8.size() * 6 + 2); // \u00XX is the longest escape
        char *p = at;
        *p++ = '"';
        for (const char byte : utf8) {
            const auto c = static_cast<unsigned char>(byte);
            if (c >= 0x20 && c != '"' && c != '\\') {
                *p++ = byte;
                continue;
            }
            *p++ = '\\';
            switch (c) {
            case '"': *p++ = '"'; break;
            case '\\': *p++ = '\\'; break;
            case '\b': *p++ = 'b'; break;
            case '\f': *p++ = 'f'; break;
            case '\n': *p++ = 'n'; break;
            case '\r': *p++ = 'r'; break;
            case '\t': *p++ = 't'; break;
            default:
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = hex[c >> 4];
                *p++ = hex[c & 0xF];
            }
        }
        *p++ = '"';
        m_size += p - at;
    }

    QByteArray take()
    {
        m_bytes.truncate(m_size);
        return std::move(m_bytes);
    }

private:
    char *reserve(qsizetype count)
    {
        if (m_size + count > m_bytes.size())
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + count));
        return m_bytes.data() + m_size;
    }

    static constexpr qsizetype flushSize = 1 << 20;
    QIODevice *m_device;
    QByteArray m_bytes;
    qsizetype m_size = 0;
    bool m_ok = true;
};

void writeEntry(Output &out, const VectorItem &entry)
{
    out.raw("  ");
    out.string(entry.id);
    out.raw(": {\n    \"id\": ");
    out.string(entry.id);
    out.raw(",\n    \"text\": ");
    out.string(entry.text);

    if (entry.embedding.empty()) {
        out.raw(",\n    \"embedding\": [],\n");
    } else {
        out.raw(",\n    \"embedding\": [\n");
        for (size_t i = 0; i < entry.embedding.size(); ++i) {
            out.raw(i == 0 ? "      \"" : "\",\n      \"");
            out.floatText(entry.embedding[i]);
        }
        out.raw("\"\n    ],\n");
    }

    if (entry.metadata.isEmpty()) {
        out.raw("    \"metadata\": {},\n");
    } else {
        out.raw("    \"metadata\": {\n");
        for (auto it = entry.metadata.cbegin(); it != entry.metadata.cend(); ++it) {
            out.raw(it == entry.metadata.cbegin() ? "      " : ",\n      ");
            out.string(it.key());
            out.raw(": ");
            out.string(it.value());
        }
        out.raw("\n    },\n");
    }

    out.raw("    \"timestamp\": ");
    out.string(internetDateTime(entry.timestamp));
    out.raw("\n  }");
}

} // namespace

bool writeVectorIndex(const VectorIndex &index, QIODevice &device)
{
    if (index.size() == 0)
        return device.write("{}\n", 3) == 3;
    Output out(2 << 20, &device);
    out.raw("{\n");
    qsizetype written = 0;
    bool ok = true;
    index.forEachInKeyOrder([&](const VectorItem &entry) {
        if (!ok)
            return;
        writeEntry(out, entry);
        out.raw(++written < index.size() ? ",\n" : "\n");
        ok = out.drain();
    });
    out.raw("}\n");
    return ok && out.drain(true);
}

QByteArray encodeVectorIndex(std::vector<VectorItem> entries)
{
    std::sort(entries.begin(), entries.end(), [](const VectorItem &a, const VectorItem &b) { return a.id < b.id; });
    if (entries.empty())
        return QByteArrayLiteral("{}\n");

    qsizetype estimate = 4;
    for (const VectorItem &entry : entries)
        estimate += 320 + entry.text.size() + static_cast<qsizetype>(entry.embedding.size()) * 22;
    Output out(estimate);
    out.raw("{\n");
    for (size_t i = 0; i < entries.size(); ++i) {
        writeEntry(out, entries[i]);
        out.raw(i + 1 < entries.size() ? ",\n" : "\n");
    }
    out.raw("}\n");
    return out.take();
}

} // namespace snipbrook
