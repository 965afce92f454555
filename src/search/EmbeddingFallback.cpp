// The model-free fallback vector and the scaling to unit length.
#include "EmbeddingManager.h"

#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <cmath>
#include <memory>

namespace snipbrook {
namespace {

icu::BreakIterator *graphemeIterator()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(it) : nullptr;
    }();
    return iterator.get();
}

// The character's ASCII code when it is one code point below 128 (a CR LF pair counts as a
// line feed); 0 for every other character.
int asciiValue(QStringView character)
{
    if (character == u"\r\n")
        return '\n';
    if (character.size() == 1 && character[0].unicode() < 128)
        return character[0].unicode();
    return 0;
}

// The characters (extended grapheme clusters) of the text.
std::vector<QStringView> characters(const QString &text)
{
    std::vector<QStringView> out;
    icu::BreakIterator *it = graphemeIterator();
    if (!it) {
        for (qsizetype i = 0; i < text.size(); ++i)
            out.push_back(QStringView(text).sliced(i, 1));
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUChars(&ut, reinterpret_cast<const UChar *>(text.utf16()), text.size(), &status);
    it->setText(&ut, status);
    for (int32_t start = it->first(), end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next())
        out.push_back(QStringView(text).sliced(start, end - start));
    utext_close(&ut);
    return out;
}

} // namespace

EmbeddingManager::Vector EmbeddingManager::fallbackEmbedding(const QString &text)
{
    diag(QStringLiteral("🔄 Using fallback embedding for: ") + logSnippet(text) + QStringLiteral("..."));
    Vector vector(fallbackDimension, 0.0f);
    const QString lowered = text.toLower();
    const std::vector<QStringView> chars = characters(lowered);
    if (chars.empty())
        return vector;
    const auto n = static_cast<float>(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i)
        vector[i % fallbackDimension] += static_cast<float>(asciiValue(chars[i])) / n;
    return normalize(std::move(vector));
}

EmbeddingManager::Vector EmbeddingManager::normalize(Vector vector)
{
    float sumOfSquares = 0.0f;
    for (const float x : vector)
        sumOfSquares += x * x;
    const float magnitude = std::sqrt(sumOfSquares);
    if (magnitude > 0.0f)
        for (float &x : vector)
            x /= magnitude;
    return vector;
}

} // namespace snipbrook
