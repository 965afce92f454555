#include "PaletteButton.h"

#include <QFontMetrics>
#include <QPainter>

namespace snipbrook {
namespace {

constexpr int primarySwatch = 12;
constexpr int accentSwatch = 8;
constexpr int padding = 6;
constexpr int gap = 4;

} // namespace

PaletteButton::PaletteButton(const QString &name, const QColor &primary, const QColor &accent, QWidget *parent)
    : QAbstractButton(parent), m_primary(primary), m_accent(accent)
{
    setCheckable(true);
    setText(name);
    setAccessibleName(name);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QFont PaletteButton::nameFont() const
{
    QFont font = this->font();
    font.setPointSizeF(10);
    font.setWeight(QFont::Medium);
    return font;
}

QSize PaletteButton::sizeHint() const
{
    const QFontMetrics metrics(nameFont());
    const int width = padding + primarySwatch + 2 + accentSwatch + gap + metrics.horizontalAdvance(text()) + padding;
    return {width, qMax(primarySwatch, metrics.height()) + 2 * padding - 2};
}

QSize PaletteButton::minimumSizeHint() const
{
    // The name may be cut rather than make the sidebar wider.
    return {padding * 2 + primarySwatch + 2 + accentSwatch + gap + 12, sizeHint().height()};
}

void PaletteButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PaletteButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PaletteButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75);
    if (isChecked()) {
        QColor fill = m_primary;
        fill.setAlphaF(0.15f);
        painter.setBrush(fill);
        painter.setPen(QPen(m_primary, 1.5));
        painter.drawRoundedRect(frame, 6, 6);
    } else if (m_hovered || hasFocus()) {
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06f);
        painter.setBrush(fill);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(frame, 6, 6);
    }

    const qreal middle = height() / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_primary);
    painter.drawEllipse(QRectF(padding, middle - primarySwatch / 2.0, primarySwatch, primarySwatch));
    painter.setBrush(m_accent);
    painter.drawEllipse(QRectF(padding + primarySwatch + 2, middle - accentSwatch / 2.0, accentSwatch, accentSwatch));

    painter.setFont(nameFont());
    painter.setPen(palette().color(QPalette::WindowText));
    const int left = padding + primarySwatch + 2 + accentSwatch + gap;
    const QRect textRect(left, 0, width() - left - padding / 2, height());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     QFontMetrics(painter.font()).elidedText(text(), Qt::ElideRight, textRect.width()));
}

} // namespace snipbrook
