#include "IndexText.h"
#include "VectorIndexFile.h"

#include <algorithm>
#include <charconv>

namespace snipbrook {
namespace {

void appendEscaped(QByteArray &out, const QString &text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char byte : utf8) {
        const auto c = static_cast<unsigned char>(byte);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (c < 0x20) {
                const char escape[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
                out.append(escape, sizeof escape);
            } else {
                out.append(byte);
            }
        }
    }
    out.append('"');
}

void appendMember(QByteArray &out, const char *indent, const char *name, const QString &value, bool last)
{
    out.append(indent).append('"').append(name).append("\": ");
    appendEscaped(out, value);
    out.append(last ? "\n" : ",\n");
}

void appendEntry(QByteArray &out, const VectorItem &entry)
{
    out.append("  ");
    appendEscaped(out, entry.id);
    out.append(": {\n");
    appendMember(out, "    ", "id", entry.id, false);
    appendMember(out, "    ", "text", entry.text, false);

    if (entry.embedding.empty()) {
        out.append("    \"embedding\": [],\n");
    } else {
        out.append("    \"embedding\": [\n");
        char number[32];
        for (size_t i = 0; i < entry.embedding.size(); ++i) {
            const auto written = std::to_chars(number, number + sizeof number, entry.embedding[i]);
            out.append("      \"").append(number, written.ptr - number).append('"');
            out.append(i + 1 < entry.embedding.size() ? ",\n" : "\n");
        }
        out.append("    ],\n");
    }

    if (entry.metadata.isEmpty()) {
        out.append("    \"metadata\": {},\n");
    } else {
        out.append("    \"metadata\": {\n");
        for (auto it = entry.metadata.cbegin(); it != entry.metadata.cend(); ++it) {
            out.append("      ");
            appendEscaped(out, it.key());
            out.append(": ");
            appendEscaped(out, it.value());
            out.append(std::next(it) != entry.metadata.cend() ? ",\n" : "\n");
        }
        out.append("    },\n");
    }

    appendMember(out, "    ", "timestamp", internetDateTime(entry.timestamp), true);
    out.append("  }");
}

} // namespace

QByteArray encodeVectorIndex(std::vector<VectorItem> entries)
{
    std::sort(entries.begin(), entries.end(), [](const VectorItem &a, const VectorItem &b) { return a.id < b.id; });
    if (entries.empty())
        return QByteArrayLiteral("{}\n");

    QByteArray out;
    qsizetype estimate = 4;
    for (const VectorItem &entry : entries)
        estimate += 256 + entry.text.size() * 3 + static_cast<qsizetype>(entry.embedding.size()) * 24;
    out.reserve(estimate);

    out.append("{\n");
    for (size_t i = 0; i < entries.size(); ++i) {
        appendEntry(out, entries[i]);
        out.append(i + 1 < entries.size() ? ",\n" : "\n");
    }
    out.append("}\n");
    return out;
}

} // namespace snipbrook
