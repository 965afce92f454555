#include "UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <memory>

namespace snipbrook {
namespace {

const UChar *uchars(const QString &text) { return reinterpret_cast<const UChar *>(text.utf16()); }

// Creating a break iterator loads rule data; each thread keeps one and re-targets it.
icu::BreakIterator *graphemeIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    return iterator.get();
}

// Walks grapheme boundaries of `text` and returns the UTF-16 offset after `count` clusters
// (the text's length when it has fewer), plus how many clusters were passed.
std::pair<qsizetype, qsizetype> advanceGraphemes(const QString &text, qsizetype count)
{
    icu::BreakIterator *it = graphemeIterator();
    if (!it) // no ICU data: count code units, the safest approximation
        return {std::min(count, text.size()), std::min(count, text.size())};
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUChars(&ut, uchars(text), text.size(), &status);
    it->setText(&ut, status);
    qsizetype passed = 0;
    int32_t offset = it->first();
    while (passed < count) {
        const int32_t next = it->next();
        if (next == icu::BreakIterator::DONE)
            break;
        offset = next;
        ++passed;
    }
    utext_close(&ut);
    return {offset, passed};
}

} // namespace

QString trimWhitespaceAndNewlines(const QString &text)
{
    const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
    qsizetype begin = 0;
    qsizetype end = text.size();
    // White_Space characters are all in the BMP, so looking at single code units is exact.
    while (begin < end && u_isUWhiteSpace(data[begin]))
        ++begin;
    while (end > begin && u_isUWhiteSpace(data[end - 1]))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString firstGraphemes(const QString &text, qsizetype count)
{
    // A cluster holds at least one code unit, so a short text cannot exceed the count.
    if (text.size() <= count)
        return text;
    const auto [offset, passed] = advanceGraphemes(text, count);
    Q_UNUSED(passed);
    return offset >= text.size() ? text : text.left(offset);
}

std::vector<QStringView> graphemeClusters(const QString &text)
{
    std::vector<QStringView> clusters;
    icu::BreakIterator *it = graphemeIterator();
    if (!it) {
        for (qsizetype i = 0; i < text.size(); ++i)
            clusters.push_back(QStringView(text).sliced(i, 1));
        return clusters;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUChars(&ut, uchars(text), text.size(), &status);
    it->setText(&ut, status);
    for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next())
        clusters.push_back(QStringView(text).sliced(start, end - start));
    utext_close(&ut);
    return clusters;
}

qsizetype graphemeCount(const QString &text, qsizetype limit)
{
    if (text.isEmpty())
        return 0;
    return advanceGraphemes(text, limit).second;
}

bool allScalarsHaveEmojiProperty(const QString &text)
{
    if (text.isEmpty())
        return false;
    const auto *data = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = data[i];
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(data[i + 1]))
            c = QChar::surrogateToUcs4(c, data[++i]);
        if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_EMOJI))
            return false;
    }
    return true;
}

QString foldCaseAndDiacritics(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    icu::UnicodeString decomposed = nfd->normalize(icu::UnicodeString(false, uchars(text), text.size()), status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    icu::UnicodeString stripped;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK && u_charType(c) != U_ENCLOSING_MARK)
            stripped.append(c);
        i += U16_LENGTH(c);
    }
    stripped.foldCase();
    return QString(reinterpret_cast<const QChar *>(stripped.getBuffer()), stripped.length());
}

QString canonicalComposition(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text;
    const icu::UnicodeString source(false, uchars(text), text.size());
    if (nfc->isNormalized(source, status) && U_SUCCESS(status))
        return text;
    status = U_ZERO_ERROR;
    const icu::UnicodeString composed = nfc->normalize(source, status);
    if (U_FAILURE(status))
        return text;
    return QString(reinterpret_cast<const QChar *>(composed.getBuffer()), composed.length());
}

} // namespace snipbrook
