#include "UrlComponents.h"

#include <QByteArray>

namespace snipbrook {
namespace {

bool isAlpha(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isHex(QChar c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
bool isUnreserved(QChar c) { return isAlpha(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~'; }
bool isSubDelim(QChar c) { return QStringView(u"!$&'()*+,;=").contains(c); }

// True when every character is unreserved, a sub-delimiter, one of `extra`, or a well-formed
// percent escape.
bool consistsOf(QStringView text, QStringView extra)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
                return false;
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelim(c) && !extra.contains(c)) {
            return false;
        }
    }
    return true;
}

QString percentDecoded(QStringView text)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

bool isScheme(QStringView text)
{
    if (text.isEmpty() || !isAlpha(text[0]))
        return false;
    for (const QChar c : text)
        if (!isAlpha(c) && !isDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return false;
    return true;
}

// authority = [ userinfo "@" ] host [ ":" port ]; returns the decoded host.
std::optional<QString> parseAuthority(QStringView authority)
{
    const qsizetype at = authority.indexOf(u'@');
    if (at >= 0) {
        if (!consistsOf(authority.first(at), u":"))
            return std::nullopt;
        authority = authority.sliced(at + 1);
    }
    QStringView host = authority;
    QStringView port;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = authority.sliced(1, close - 1);
        if (host.isEmpty() || !consistsOf(host, u":"))
            return std::nullopt;
        const QStringView rest = authority.sliced(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return std::nullopt;
        port = rest.isEmpty() ? rest : rest.sliced(1);
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        if (colon >= 0) {
            host = authority.first(colon);
            port = authority.sliced(colon + 1);
        }
        if (!consistsOf(host, u""))
            return std::nullopt;
    }
    for (const QChar c : port)
        if (!isDigit(c))
            return std::nullopt;
    return percentDecoded(host);
}

} // namespace

std::optional<UrlComponents> UrlComponents::parse(const QString &text)
{
    QStringView rest(text);
    UrlComponents components;

    // Fragment and query first: neither takes part in the hierarchy.
    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) {
        if (!consistsOf(rest.sliced(hash + 1), u":@/?"))
            return std::nullopt;
        rest = rest.first(hash);
    }
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        const QStringView query = rest.sliced(question + 1);
        if (!consistsOf(query, u":@/?"))
            return std::nullopt;
        QStringList names;
        if (!query.isEmpty()) {
            for (const QStringView item : query.split(u'&'))
                names << percentDecoded(item.first(item.indexOf(u'=') >= 0 ? item.indexOf(u'=') : item.size()));
        }
        components.queryItemNames = names;
        rest = rest.first(question);
    }

    // A scheme is everything before the first ":" when no "/" comes earlier; a relative
    // reference may not have a ":" in its first segment.
    const qsizetype colon = rest.indexOf(u':');
    const qsizetype slash = rest.indexOf(u'/');
    if (colon >= 0 && (slash < 0 || colon < slash)) {
        if (!isScheme(rest.first(colon)))
            return std::nullopt;
        rest = rest.sliced(colon + 1);
    }

    if (rest.startsWith(u"//")) {
        rest = rest.sliced(2);
        const qsizetype end = rest.indexOf(u'/');
        const QStringView authority = end >= 0 ? rest.first(end) : rest;
        components.host = parseAuthority(authority);
        if (!components.host)
            return std::nullopt;
        rest = end >= 0 ? rest.sliced(end) : QStringView();
    }
    if (!consistsOf(rest, u":@/"))
        return std::nullopt;
    components.path = percentDecoded(rest);
    return components;
}

} // namespace snipbrook
