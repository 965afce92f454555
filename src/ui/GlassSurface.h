#pragma once

#include <QPalette>
#include <QRectF>

class QPainter;

namespace snipbrook {

// The panel surface. The glass look is for desktops that blur what lies behind a window, which
// X11 ones do not; what is drawn is the plain material: the window colour, translucent where a
// compositor blends windows, or opaque where none does (the window is then masked to the shape).
struct GlassPanelStyle {
    qreal cornerRadius = 12;
    // Nothing blurs what shows through, so text behind a 70 % fill competes with the rows: the
    // panel takes the strength of the thin material instead.
    qreal materialOpacity = 0.85;
    bool translucent = true;
};

// The soft shadow under the shape, drawn into the transparent margin around it.
void paintPanelShadow(QPainter &painter, const QRectF &shape, const GlassPanelStyle &style, int margin);
void paintGlassPanel(QPainter &painter, const QRectF &shape, const QPalette &palette, const GlassPanelStyle &style);

} // namespace snipbrook
