#pragma once

#include <QColor>

class QPainter;

namespace snipbrook {

// What a drawn icon shows.
enum class SymbolShape { clipboard, page, textPage, twoPages, pageArrow, photo, magnifier, brain, cross, check, trash, heart,
                   heartSlash, gear, plus, ellipsis, sliders, refresh, arrowUp, openWindow, keyboard, bubble, clock,
                   link, envelope, phone, face, palette, calendar, app, power, drive, noSign, placeholder };

// Draws the shape on a 24 x 24 grid (scale the painter to the size wanted): outlines in `ink`,
// inner surfaces in `paper`.
void drawSymbolShape(QPainter &painter, SymbolShape shape, const QColor &ink, const QColor &paper);

} // namespace snipbrook
