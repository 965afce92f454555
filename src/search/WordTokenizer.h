#pragma once

#include <QString>
#include <QStringList>

namespace snipbrook {

// The word tokens of a text in order (ICU word boundaries), keeping only segments that hold a
// letter or a digit: punctuation, symbols, emoji and white space are not words.
QStringList wordTokens(const QString &text);

} // namespace snipbrook
