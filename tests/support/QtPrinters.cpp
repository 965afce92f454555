#include "QtPrinters.h"

#include "model/Uuid.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace {

// More than this many bytes of a byte array are cut in the output.
constexpr qsizetype byteArrayShown = 1024;

void printQuoted(QByteArrayView bytes, bool escapeNonAscii, std::ostream *os)
{
    *os << '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': *os << "\\\""; break;
        case '\\': *os << "\\\\"; break;
        case '\n': *os << "\\n"; break;
        case '\r': *os << "\\r"; break;
        case '\t': *os << "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7f || (escapeNonAscii && byte >= 0x80)) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                *os << escaped;
            } else {
                *os << c;
            }
        }
    }
    *os << '"';
}

} // namespace

void PrintTo(const QString &text, std::ostream *os) { printQuoted(text.toUtf8(), false, os); }

void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    const QByteArrayView all(bytes);
    printQuoted(all.first(std::min(all.size(), byteArrayShown)), !all.isValidUtf8(), os);
    if (all.size() > byteArrayShown)
        *os << "… (" << all.size() << " bytes)";
}

void PrintTo(const QUuid &id, std::ostream *os) { *os << snipbrook::uuidString(id).toStdString(); }
