#include "ToggleSwitch.h"

#include <QPainter>

namespace snipbrook {

ToggleSwitch::ToggleSwitch(const QString &accessibleName, QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const { return {40, 24}; }

bool ToggleSwitch::hitButton(const QPoint &pos) const { return rect().contains(pos); }

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colors = palette();
    const QRectF track = QRectF(rect()).adjusted(2, 3, -2, -3);
    const qreal radius = track.height() / 2;
    QColor fill = isChecked() ? colors.color(QPalette::Highlight) : colors.color(QPalette::Mid);
    if (!isChecked())
        fill.setAlphaF(0.55f);
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.5f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobSize = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knobSize : track.left() + 2;
    const QRectF knob(x, track.top() + 2, knobSize, knobSize);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.8));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);

    if (hasFocus()) {
        QColor ring = colors.color(QPalette::Highlight);
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1.5, radius + 1.5);
    }
}

} // namespace snipbrook
