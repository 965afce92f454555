#include "PanelParts.h"

#include <QPainter>

namespace snipbrook {

PanelDivider::PanelDivider(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PanelDivider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.12f);
    painter.fillRect(rect(), line);
}

PanelSpinner::PanelSpinner(int size, QWidget *parent) : QWidget(parent)
{
    setFixedSize(size, size);
    setAccessibleName(QStringLiteral("Searching"));
    m_turn.setStartValue(0.0);
    m_turn.setEndValue(360.0);
    m_turn.setDuration(900);
    m_turn.setLoopCount(-1);
    connect(&m_turn, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void PanelSpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, width() / 8.0);
    const QRectF box = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    QColor track = palette().color(QPalette::PlaceholderText);
    track.setAlphaF(0.3f);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(box);
    painter.setPen(QPen(palette().color(QPalette::PlaceholderText), pen, Qt::SolidLine, Qt::RoundCap));
    const int start = int(-m_turn.currentValue().toDouble() * 16);
    painter.drawArc(box, start, 100 * 16);
}

void PanelSpinner::showEvent(QShowEvent *) { m_turn.start(); }
void PanelSpinner::hideEvent(QHideEvent *) { m_turn.stop(); }

} // namespace snipbrook
