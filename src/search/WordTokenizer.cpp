#include "WordTokenizer.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include <memory>

namespace snipbrook {
namespace {

// Creating a break iterator loads rule data; each thread keeps one and re-targets it.
icu::BreakIterator *wordIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    return iterator.get();
}

bool holdsLetterOrDigit(QStringView segment)
{
    for (qsizetype i = 0; i < segment.size(); ++i) {
        char32_t c = segment[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < segment.size() && segment[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), segment[++i].unicode());
        if (u_isalnum(static_cast<UChar32>(c)))
            return true;
    }
    return false;
}

} // namespace

QStringList wordTokens(const QString &text)
{
    QStringList tokens;
    icu::BreakIterator *it = wordIterator();
    if (!it || text.isEmpty())
        return tokens;
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUChars(&ut, reinterpret_cast<const UChar *>(text.utf16()), text.size(), &status);
    it->setText(&ut, status);
    if (U_SUCCESS(status)) {
        for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
            const QStringView segment = QStringView(text).sliced(start, end - start);
            if (holdsLetterOrDigit(segment))
                tokens << segment.toString();
        }
    }
    utext_close(&ut);
    return tokens;
}

} // namespace snipbrook
