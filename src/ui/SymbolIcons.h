#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace snipbrook {

// The symbol names the program uses for its pictures ("doc.on.clipboard", "photo", "trash", ...)
// become icons of the desktop's icon theme; where the theme lacks one (or there is no theme) a
// simple drawn icon of the same idea stands in, so the program looks complete everywhere.

// The freedesktop icon name for a symbol; empty when no theme icon fits.
QString freedesktopIconName(const QString &symbol);

// The theme's icon for the symbol, else the drawn one; an unknown symbol gets a neutral
// placeholder. Main thread only (it uses the application's palette and a cache).
QIcon symbolIcon(const QString &symbol);

// The symbol in one colour: the theme's symbolic variant tinted, else the drawn shape in that
// colour. Main thread only.
QPixmap tintedSymbolPixmap(const QString &symbol, const QColor &color, int size, qreal devicePixelRatio = 1.0);

// The drawn icon alone, whatever the theme holds.
QIcon drawnSymbolIcon(const QString &symbol);

} // namespace snipbrook
