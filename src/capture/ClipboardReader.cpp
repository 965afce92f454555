#include "ClipboardReader.h"

#include "model/UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>

#include <QUrl>

#include <array>
#include <memory>

namespace snipbrook {
namespace {

constexpr qsizetype previewLength = 100;

const QString linkSymbol = QStringLiteral("\U0001F517");
const QString emailSymbol = QStringLiteral("\U0001F4E7");
const QString phoneSymbol = QStringLiteral("\U0001F4DE");
const QString fileSymbol = QStringLiteral("\U0001F4C4");
const QString filesSymbol = QStringLiteral("\U0001F4C1");

const std::array<QLatin1StringView, 14> codeMarkers{
    QLatin1StringView("{"),        QLatin1StringView("}"),       QLatin1StringView("("),
    QLatin1StringView(")"),        QLatin1StringView("["),       QLatin1StringView("]"),
    QLatin1StringView("func "),    QLatin1StringView("def "),    QLatin1StringView("class "),
    QLatin1StringView("import "),  QLatin1StringView("#include"), QLatin1StringView("var "),
    QLatin1StringView("let "),     QLatin1StringView("const "),
};

// ICU patterns are compiled once per process; matchers made from a pattern are independent,
// so the patterns may be shared by threads.
class Pattern {
public:
    explicit Pattern(const char16_t *source)
    {
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        m_pattern.reset(icu::RegexPattern::compile(icu::UnicodeString(source), 0, parseError, status));
        if (U_FAILURE(status))
            m_pattern.reset();
    }

    // Whole-string match, case-sensitive, without multi-line mode.
    bool matches(const QString &text) const
    {
        if (!m_pattern)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString input(false, reinterpret_cast<const UChar *>(text.utf16()), text.size());
        std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(input, status));
        if (U_FAILURE(status))
            return false;
        const bool found = matcher->find(status);
        return U_SUCCESS(status) && found;
    }

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};

const Pattern &colorPattern()
{
    static const Pattern pattern(u"^#([A-Fa-f0-9]{6}|[A-Fa-f0-9]{3})$");
    return pattern;
}

const Pattern &emailPattern()
{
    static const Pattern pattern(u"^[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}$");
    return pattern;
}

const Pattern &phonePattern()
{
    static const Pattern pattern(u"^[\\+]?[1-9]?[0-9]{7,15}$");
    return pattern;
}

ClipboardMetadata sourceMetadata(const SourceAppInfo &source)
{
    ClipboardMetadata metadata;
    metadata.sourceApp = source.name;
    metadata.sourceAppBundle = source.bundleIdentifier;
    metadata.sourceProcessID = source.processIdentifier;
    return metadata;
}

// An absolute URL with a scheme and a non-empty host. Only text of the form scheme://… can
// have a host, and a URL holds no white space, so most text is turned away before parsing.
bool isLinkWithHost(const QString &text)
{
    const qsizetype separator = text.indexOf(QLatin1StringView("://"));
    if (separator <= 0)
        return false;
    for (QChar c : text) {
        if (c.isSpace())
            return false;
    }
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

// The phone test on the text with "\D" removed: 7 to 16 decimal digits in all, so counting
// stops as soon as there are too many.
bool digitsFormPhoneNumber(const QString &text)
{
    constexpr qsizetype maxDigits = 16;
    QString digits;
    const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = data[i];
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(data[i + 1]))
            c = QChar::surrogateToUcs4(c, data[++i]);
        const bool isDigit = c < 0x80 ? (c >= u'0' && c <= u'9') : u_isdigit(static_cast<UChar32>(c));
        if (!isDigit)
            continue;
        if (digits.size() >= maxDigits * 2) // a non-BMP digit takes two units
            return false;
        digits.append(QString::fromUcs4(&c, 1));
    }
    return phonePattern().matches(digits);
}

// The last component of the URL's path, as a file name is shown ("/" for the root).
QString lastPathComponent(const QUrl &url)
{
    QString path = url.path(QUrl::FullyDecoded);
    if (path.isEmpty())
        return path;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path == QLatin1StringView("/"))
        return path;
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// One pass over the text instead of one search per marker: at each position, look only at the
// markers that can start with that character.
bool containsCodeMarker(const QString &text)
{
    const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    const auto startsAt = [&](qsizetype i, QLatin1StringView marker) {
        if (size - i < marker.size())
            return false;
        for (qsizetype k = 1; k < marker.size(); ++k) {
            if (data[i + k] != static_cast<char16_t>(marker[k].unicode()))
                return false;
        }
        return true;
    };
    // Every marker starts with an ASCII character; most characters start none.
    static const std::array<bool, 128> startsMarker = [] {
        std::array<bool, 128> table{};
        for (QLatin1StringView marker : codeMarkers)
            table[static_cast<unsigned char>(marker[0].toLatin1())] = true;
        return table;
    }();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i];
        if (c >= 128 || !startsMarker[c])
            continue;
        for (QLatin1StringView marker : codeMarkers) {
            if (marker[0].unicode() == c && startsAt(i, marker))
                return true;
        }
    }
    return false;
}

std::optional<ClipboardContentResult> imageResult(const PasteboardSnapshot &snapshot, const SourceAppInfo &source)
{
    for (const QString &type : {mime::png, mime::jpeg, mime::tiff}) {
        const auto bytes = snapshot.dataForType(type);
        if (!bytes)
            continue;
        ClipboardContentResult result;
        result.type = ClipboardItemType::image;
        result.content = QString::fromLatin1(bytes->toBase64());
        result.preview = result.content;
        result.metadata = sourceMetadata(source);
        result.metadata.size = bytes->size();
        return result;
    }
    return std::nullopt;
}

std::optional<ClipboardContentResult> urlResult(const PasteboardSnapshot &snapshot, const SourceAppInfo &source)
{
    if (!snapshot.urls || snapshot.urls->isEmpty())
        return std::nullopt;
    const QList<QUrl> &urls = *snapshot.urls;
    for (const QUrl &url : urls) {
        if (!url.isValid())
            return std::nullopt;
    }
    ClipboardContentResult result;
    result.metadata = sourceMetadata(source);
    result.metadata.fileCount = urls.size();
    if (urls.size() == 1) {
        result.type = ClipboardItemType::file;
        result.content = lastPathComponent(urls.first());
        result.preview = fileSymbol;
        result.metadata.url = urls.first().toString(QUrl::FullyEncoded);
    } else {
        result.type = ClipboardItemType::multipleFiles;
        result.content = QString::number(urls.size()) + QStringLiteral(" files");
        result.preview = filesSymbol;
    }
    return result;
}

} // namespace

std::optional<ClipboardContentResult> readClipboardContent(const PasteboardSnapshot &snapshot,
                                                           const SourceAppInfo &source)
{
    if (snapshot.isSecret)
        return std::nullopt;
    if (auto image = imageResult(snapshot, source))
        return image;
    if (auto files = urlResult(snapshot, source))
        return files;
    if (!snapshot.text)
        return std::nullopt;
    return classifyText(*snapshot.text, source);
}

qint64 snapshotSize(const PasteboardSnapshot &snapshot)
{
    qint64 size = 0;
    for (const auto &[type, bytes] : snapshot.data)
        size += bytes.size();
    if (snapshot.text) {
        // Counted rather than converted: the text may be the very copy that is too large.
        for (const QChar c : *snapshot.text) {
            const char16_t unit = c.unicode();
            size += unit < 0x80 ? 1 : (unit < 0x800 || QChar::isSurrogate(unit)) ? 2 : 3;
        }
    }
    if (snapshot.urls) {
        for (const QUrl &url : *snapshot.urls)
            size += url.toEncoded().size() + 1;
    }
    return size;
}

ClipboardContentResult classifyText(const QString &text, const SourceAppInfo &source)
{
    const QString trimmed = trimWhitespaceAndNewlines(text);
    ClipboardContentResult result;
    result.content = trimmed;
    result.metadata = sourceMetadata(source);

    if (colorPattern().matches(trimmed)) {
        result.type = ClipboardItemType::color;
        result.preview = trimmed;
        result.metadata.colorValue = trimmed;
    } else if (isLinkWithHost(trimmed)) {
        result.type = ClipboardItemType::link;
        result.preview = linkSymbol;
        result.metadata.url = trimmed;
    } else if (emailPattern().matches(trimmed)) {
        result.type = ClipboardItemType::email;
        result.preview = emailSymbol;
    } else if (digitsFormPhoneNumber(trimmed)) {
        result.type = ClipboardItemType::phone;
        result.preview = phoneSymbol;
    } else if (allScalarsHaveEmojiProperty(trimmed)) {
        result.type = ClipboardItemType::emoji;
        result.preview = trimmed;
    } else if (containsCodeMarker(trimmed)) {
        result.type = ClipboardItemType::code;
        result.preview = firstGraphemes(trimmed, previewLength);
        result.metadata.language = detectLanguage(trimmed);
    } else {
        result.type = ClipboardItemType::text;
        result.preview = firstGraphemes(trimmed, previewLength);
    }
    return result;
}

QString detectLanguage(const QString &text)
{
    static const std::array<std::pair<QLatin1StringView, const char *>, 7> markers{{
        {QLatin1StringView("func "), "swift"},
        {QLatin1StringView("var "), "swift"},
        {QLatin1StringView("let "), "swift"},
        {QLatin1StringView("def "), "python"},
        {QLatin1StringView("import "), "python"},
        {QLatin1StringView("function "), "javascript"},
        {QLatin1StringView("const "), "javascript"},
    }};
    for (const auto &[marker, language] : markers) {
        if (text.contains(marker))
            return QString::fromLatin1(language);
    }
    return QStringLiteral("unknown");
}

} // namespace snipbrook
