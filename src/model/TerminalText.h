#pragma once

#include <QString>

namespace snipbrook {

// Text from outside (window classes, settings, paths, copied content) on its way to a terminal.
// A control character (C0, DEL or C1) would let it move the cursor, retitle the window or
// answer for the user, so each one becomes a space. Header-only: the command line links Qt Core
// and nothing else.

inline bool isControlCharacter(QChar c) { return c.category() == QChar::Other_Control; }

// One field of one line: line breaks become spaces too.
inline QString terminalField(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isControlCharacter(text.at(i)))
            text[i] = QChar(u' ');
    }
    return text;
}

// Several lines: as terminalField, but line breaks stay.
inline QString terminalLines(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'\n' && isControlCharacter(text.at(i)))
            text[i] = QChar(u' ');
    }
    return text;
}

} // namespace snipbrook
