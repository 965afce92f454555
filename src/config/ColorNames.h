#pragma once

#include <QColor>
#include <QString>

namespace snipbrook {

// Palette and category colours are names from a fixed list: orange, red, blue, cyan, green,
// mint, purple, pink, gray, black, yellow, indigo, teal. Matching ignores letter case; a name
// outside the list means orange.

// The list entry the name stands for, in lower case.
QString resolvedColorName(const QString &name);
// The display colour the name stands for.
QColor colorForName(const QString &name);

} // namespace snipbrook
