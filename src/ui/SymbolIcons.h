#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace snipbrook {

// The symbol names the program uses for its pictures ("doc.on.clipboard", "photo", "trash", ...)
// become icons of the desktop's icon theme, through one table; where the theme lacks one (or
// there is no theme) a simple drawn icon of the same idea stands in, so the program looks
// complete everywhere. Main thread only (the palette, the theme and the caches are).

// The freedesktop icon name for a symbol (the full-colour kind); empty when no theme icon fits.
QString freedesktopIconName(const QString &symbol);
// The monochrome ("-symbolic") theme icon for a symbol; empty when none fits.
QString symbolicIconName(const QString &symbol);

// The theme's icon for the symbol, else the drawn one in the current palette's colours; an
// unknown symbol gets a neutral placeholder.
QIcon symbolIcon(const QString &symbol);
// The drawn icon alone, whatever the theme holds.
QIcon drawnSymbolIcon(const QString &symbol);

// The symbol in one colour, like the monochrome symbols it stands for, at `size` logical
// pixels for a device pixel ratio: the theme's symbolic icon tinted, else the drawn one. Cached.
QPixmap symbolPixmap(const QString &symbol, const QColor &color, int size, qreal devicePixelRatio = 1.0);
// The same as an icon for buttons and menus.
QIcon symbolIcon(const QString &symbol, const QColor &color, int size = 16);

} // namespace snipbrook
