#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace snipbrook {

// Unicode rules shared by capture, embeddings and search, done with ICU so that every
// subsystem counts and trims the same way.

// Removes leading and trailing characters with the White_Space property (spaces, tabs, line
// breaks, NEL, the Unicode spaces).
QString trimWhitespaceAndNewlines(const QString &text);

// The first `count` user-perceived characters (extended grapheme clusters) of `text`, or the
// whole text when it is not longer.
QString firstGraphemes(const QString &text, qsizetype count);

// The user-perceived characters (extended grapheme clusters) of the text, as views into it.
std::vector<QStringView> graphemeClusters(const QString &text);

// Number of extended grapheme clusters, counting no further than `limit` (so callers that only
// compare with a bound never walk a huge text).
qsizetype graphemeCount(const QString &text, qsizetype limit = std::numeric_limits<qsizetype>::max());

// True for a non-empty text whose every scalar has the Unicode Emoji property.
bool allScalarsHaveEmojiProperty(const QString &text);

// Canonical decomposition, non-spacing and enclosing marks removed, full case folding: the key for case- and
// diacritic-insensitive comparison.
QString foldCaseAndDiacritics(const QString &text);

// Canonical (NFC) composition, so that canonically equivalent texts compare equal.
QString canonicalComposition(const QString &text);

} // namespace snipbrook
