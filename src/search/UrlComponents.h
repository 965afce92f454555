#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace snipbrook {

// The parts of a URI reference (RFC 3986) that describe what it points at, percent-decoded.
// Parsing is strict: a text with characters a URI cannot hold (blanks, non-ASCII letters,
// quotes, a lone "%") or with a malformed scheme, authority or port does not parse.
struct UrlComponents {
    std::optional<QString> host;               // present when the reference has an authority
    QString path;
    std::optional<QStringList> queryItemNames; // present when there is a "?"

    static std::optional<UrlComponents> parse(const QString &text);
};

} // namespace snipbrook
