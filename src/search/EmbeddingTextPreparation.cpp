// Text preparation before embedding: URLs become their words, code its telling lines, and white
// space is collapsed.
#include "EmbeddingManager.h"

#include "UrlComponents.h"
#include "model/UnicodeText.h"

#include <unicode/regex.h>

#include <array>
#include <memory>

namespace snipbrook {
namespace {

constexpr std::array<QStringView, 17> codeSigns{
    u"{", u"}", u"(", u")", u"[", u"]", u";", u"func ", u"def ", u"class ", u"import ", u"const ", u"var ", u"let ", u"if ", u"for ", u"while ",
};
constexpr QStringView codePunctuation = u"{}()[];,";
constexpr std::array<QStringView, 4> declarationWords{u"func ", u"class ", u"def ", u"interface "};
constexpr std::array<QStringView, 3> bindingWords{u"let ", u"var ", u"const "};

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

bool isBlankOrTab(QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; }

QStringView trimBlanksAndTabs(QStringView line)
{
    while (!line.isEmpty() && isBlankOrTab(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlankOrTab(line.back()))
        line.chop(1);
    return line;
}

template <std::size_t N>
bool containsAny(QStringView text, const std::array<QStringView, N> &needles)
{
    for (const QStringView needle : needles)
        if (text.contains(needle))
            return true;
    return false;
}

bool isTellingLine(QStringView line)
{
    if (line.startsWith(u"//") || line.startsWith(u'#') || containsAny(line, declarationWords))
        return true;
    return containsAny(line, bindingWords) && graphemeCount(line.toString(), 11) > 10;
}

// ICU's "\s" (the White_Space property), as the regular expression "\s+" has it.
const icu::RegexPattern *whitespaceRun()
{
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(icu::UnicodeString(u"\\s+"), parseError, status));
        return U_SUCCESS(status) ? std::move(compiled) : nullptr;
    }();
    return pattern.get();
}

} // namespace

QString EmbeddingManager::prepareText(const QString &text)
{
    QString result = text;
    if (text.startsWith(u"http://") || text.startsWith(u"https://") || text.startsWith(u"ftp://") || text.contains(u"://"))
        result = urlToWords(text);
    int signs = 0;
    for (const QStringView sign : codeSigns)
        signs += text.contains(sign) ? 1 : 0;
    if (signs >= 2)
        result = summarizeCode(text);
    return collapseWhitespace(result);
}

QString EmbeddingManager::urlToWords(const QString &text)
{
    const std::optional<UrlComponents> url = UrlComponents::parse(text);
    if (!url)
        return text;
    QStringList words;
    // An empty host (as in file:///path) is no word.
    if (url->host && !url->host->isEmpty())
        words << QString(*url->host).remove(QStringLiteral("www."));
    if (!url->path.isEmpty() && url->path != u"/") {
        for (const QString &piece : url->path.split(u'/', Qt::SkipEmptyParts))
            words << QString(piece).replace(u'-', u' ').replace(u'_', u' ');
    }
    if (url->queryItemNames)
        words << *url->queryItemNames;
    return words.join(u' ');
}

QString EmbeddingManager::summarizeCode(const QString &text)
{
    QString cleaned = text;
    for (const QChar c : codePunctuation)
        cleaned.replace(c, u' ');

    QStringList kept;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= cleaned.size(); ++i) {
        if (i < cleaned.size() && !isLineBreak(cleaned[i]))
            continue;
        const QStringView line = trimBlanksAndTabs(QStringView(cleaned).sliced(lineStart, i - lineStart));
        if (isTellingLine(line))
            kept << line.toString();
        lineStart = i + 1;
    }
    return kept.isEmpty() ? cleaned : kept.join(u' ');
}

QString EmbeddingManager::collapseWhitespace(const QString &text)
{
    const icu::RegexPattern *pattern = whitespaceRun();
    if (!pattern || text.isEmpty())
        return text;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString input(false, reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status))
        return text;
    const icu::UnicodeString collapsed = matcher->replaceAll(icu::UnicodeString(u" "), status);
    if (U_FAILURE(status))
        return text;
    return QString(reinterpret_cast<const QChar *>(collapsed.getBuffer()), collapsed.length());
}

} // namespace snipbrook
