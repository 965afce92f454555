#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace snipbrook {

// The panel's symbols ("doc.on.clipboard", "brain", "trash", the item kinds' symbols, ...) as
// freedesktop theme icons, in one table, drawn in one colour like the monochrome symbols they
// stand for. A symbol the theme lacks gets a plain drawn stand-in, so rows never show a hole.

// The theme icon name for a symbol; empty for a symbol outside the table.
QString themeIconName(const QString &symbol);
// The symbol at `size` logical pixels in `color`, for a device pixel ratio; cached.
QPixmap symbolPixmap(const QString &symbol, const QColor &color, int size, qreal devicePixelRatio = 1.0);
// The same as an icon for buttons and menus.
QIcon symbolIcon(const QString &symbol, const QColor &color, int size = 16);

} // namespace snipbrook
