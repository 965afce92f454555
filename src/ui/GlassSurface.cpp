#include "GlassSurface.h"

#include <QPainter>

namespace snipbrook {

void paintPanelShadow(QPainter &painter, const QRectF &shape, const GlassPanelStyle &style, int margin)
{
    // Black at 18 % at most, falling off over the margin and a little lower than the shape, the
    // way light from above would cast it. Concentric outlines stand in for a blur.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (int step = margin; step >= 1; --step) {
        const qreal fade = 1.0 - qreal(step - 1) / margin;
        QColor color(0, 0, 0);
        color.setAlphaF(float(0.18 * fade * fade * 0.35));
        painter.setPen(QPen(color, 1.0));
        const QRectF ring = shape.adjusted(-step + 0.5, -step * 0.6 + 0.5, step - 0.5, step * 1.2 - 0.5);
        painter.drawRoundedRect(ring, style.cornerRadius + step, style.cornerRadius + step);
    }
    painter.restore();
}

void paintGlassPanel(QPainter &painter, const QRectF &shape, const QPalette &palette, const GlassPanelStyle &style)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette.color(QPalette::Window);
    if (style.translucent)
        fill.setAlphaF(float(style.materialOpacity));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, style.cornerRadius, style.cornerRadius);
    painter.restore();
}

} // namespace snipbrook
