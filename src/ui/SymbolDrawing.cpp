#include "SymbolDrawing.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace snipbrook {

// Draws on a 24 x 24 grid, scaled to the pixmap.
void drawSymbolShape(QPainter &p, SymbolShape shape, const QColor &ink, const QColor &paper)
{
    using Shape = SymbolShape;
    QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(paper);
    const auto page = [&](QRectF r) {
        QPainterPath path;
        path.moveTo(r.topLeft());
        path.lineTo(r.right() - 4, r.top());
        path.lineTo(r.right(), r.top() + 4);
        path.lineTo(r.bottomRight());
        path.lineTo(r.bottomLeft());
        path.closeSubpath();
        p.drawPath(path);
    };
    const auto lines = [&](qreal left, qreal right, std::initializer_list<qreal> ys) {
        for (qreal y : ys)
            p.drawLine(QPointF(left, y), QPointF(right, y));
    };
    const auto filledCircle = [&] {
        p.setBrush(ink);
        p.drawEllipse(QRectF(3, 3, 18, 18));
        p.setPen(QPen(paper, 2, Qt::SolidLine, Qt::RoundCap));
    };
    switch (shape) {
    case Shape::clipboard:
        p.drawRoundedRect(QRectF(5, 4, 14, 17), 2, 2);
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(9, 2.5, 6, 3.5), 1, 1);
        lines(8, 16, {10, 13.5, 17});
        break;
    case Shape::page:
        page({6, 3, 12, 18});
        break;
    case Shape::textPage:
        page({6, 3, 12, 18});
        lines(9, 15, {9, 12, 15});
        break;
    case Shape::twoPages:
        page({4, 2, 11, 15});
        page({9, 7, 11, 15});
        break;
    case Shape::pageArrow:
        page({6, 3, 12, 18});
        p.drawLine(QPointF(12, 7), QPointF(12, 16));
        p.drawPolyline(QPolygonF({QPointF(9, 13), QPointF(12, 16), QPointF(15, 13)}));
        break;
    case Shape::photo:
        p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
        p.drawPolyline(QPolygonF({QPointF(5, 17), QPointF(10, 11), QPointF(14, 15), QPointF(16, 13), QPointF(19, 17)}));
        p.setBrush(ink);
        p.drawEllipse(QPointF(16, 9), 1.5, 1.5);
        break;
    case Shape::magnifier:
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10, 10), 6, 6);
        p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14.5, 14.5), QPointF(20, 20));
        break;
    case Shape::brain:
        p.drawEllipse(QRectF(3, 5, 10, 14));
        p.drawEllipse(QRectF(11, 5, 10, 14));
        p.drawLine(QPointF(12, 7), QPointF(12, 17));
        break;
    case Shape::cross:
        filledCircle();
        p.drawLine(QPointF(9, 9), QPointF(15, 15));
        p.drawLine(QPointF(15, 9), QPointF(9, 15));
        break;
    case Shape::check:
        filledCircle();
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(8, 12.5), QPointF(11, 15.5), QPointF(16.5, 9)}));
        break;
    case Shape::plus:
        filledCircle();
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        break;
    case Shape::arrowUp:
        filledCircle();
        p.drawLine(QPointF(12, 16.5), QPointF(12, 8));
        p.drawPolyline(QPolygonF({QPointF(8.5, 11.5), QPointF(12, 8), QPointF(15.5, 11.5)}));
        break;
    case Shape::trash:
        p.drawLine(QPointF(4, 6), QPointF(20, 6));
        p.drawRect(QRectF(9, 3, 6, 3));
        p.drawRoundedRect(QRectF(6, 6, 12, 15), 1.5, 1.5);
        p.drawLine(QPointF(10, 9.5), QPointF(10, 17.5));
        p.drawLine(QPointF(14, 9.5), QPointF(14, 17.5));
        break;
    case Shape::heart:
    case Shape::heartSlash: {
        QPainterPath heart;
        heart.moveTo(12, 20);
        heart.cubicTo(2, 13, 3, 4, 8.5, 4.5);
        heart.cubicTo(10.5, 4.7, 11.5, 6, 12, 7.5);
        heart.cubicTo(12.5, 6, 13.5, 4.7, 15.5, 4.5);
        heart.cubicTo(21, 4, 22, 13, 12, 20);
        p.setBrush(shape == Shape::heart ? QBrush(ink) : QBrush(paper));
        p.drawPath(heart);
        if (shape == Shape::heartSlash)
            p.drawLine(QPointF(4, 4), QPointF(20, 20));
        break;
    }
    case Shape::gear:
        for (int i = 0; i < 8; ++i) {
            const qreal angle = i * M_PI / 4;
            p.drawLine(QPointF(12 + 6 * std::cos(angle), 12 + 6 * std::sin(angle)),
                       QPointF(12 + 9.5 * std::cos(angle), 12 + 9.5 * std::sin(angle)));
        }
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
        break;
    case Shape::ellipsis:
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setBrush(ink);
        for (qreal x : {8.0, 12.0, 16.0})
            p.drawEllipse(QPointF(x, 12), 1.2, 1.2);
        break;
    case Shape::sliders:
        lines(4, 20, {7, 12, 17});
        p.setBrush(paper);
        p.drawEllipse(QPointF(9, 7), 2, 2);
        p.drawEllipse(QPointF(15, 12), 2, 2);
        p.drawEllipse(QPointF(7, 17), 2, 2);
        break;
    case Shape::refresh:
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, -300 * 16);
        p.drawPolyline(QPolygonF({QPointF(12, 1), QPointF(15, 4), QPointF(12, 7)}));
        break;
    case Shape::openWindow:
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 3, 3);
        p.drawLine(QPointF(9, 15), QPointF(16, 8));
        p.drawPolyline(QPolygonF({QPointF(11, 8), QPointF(16, 8), QPointF(16, 13)}));
        break;
    case Shape::keyboard:
        p.drawRoundedRect(QRectF(2, 6, 20, 12), 2, 2);
        for (qreal x : {6.0, 10.0, 14.0, 18.0})
            p.drawPoint(QPointF(x, 10));
        p.drawLine(QPointF(8, 14.5), QPointF(16, 14.5));
        break;
    case Shape::bubble: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(3, 4, 18, 12), 3, 3);
        bubble.moveTo(8, 16);
        bubble.lineTo(7, 20.5);
        bubble.lineTo(12, 16);
        p.drawPath(bubble.simplified());
        lines(7, 17, {8.5, 11.5});
        break;
    }
    case Shape::clock:
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.drawPolyline(QPolygonF({QPointF(12, 7), QPointF(12, 12), QPointF(15.5, 14)}));
        break;
    case Shape::link:
        // Two chain links, each a rounded bar at 45 degrees.
        p.save();
        p.translate(12, 12);
        p.rotate(-45);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(-10, -3.5, 11, 7), 3.5, 3.5);
        p.drawRoundedRect(QRectF(-1, -3.5, 11, 7), 3.5, 3.5);
        p.restore();
        break;
    case Shape::envelope:
        p.drawRoundedRect(QRectF(3, 6, 18, 13), 2, 2);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3.5, 7), QPointF(12, 13.5), QPointF(20.5, 7)}));
        break;
    case Shape::phone:
        p.drawRoundedRect(QRectF(7, 2.5, 10, 19), 2.5, 2.5);
        p.drawLine(QPointF(10.5, 18.5), QPointF(13.5, 18.5));
        break;
    case Shape::face:
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setBrush(ink);
        p.drawEllipse(QPointF(9, 10), 1.1, 1.4);
        p.drawEllipse(QPointF(15, 10), 1.1, 1.4);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7.5, 9, 9, 8), -20 * 16, -140 * 16);
        break;
    case Shape::palette: {
        QPainterPath blob;
        blob.moveTo(12, 3);
        blob.cubicTo(18, 3, 21.5, 7, 21, 11.5);
        blob.cubicTo(20.5, 15, 16, 13.5, 15, 16);
        blob.cubicTo(14, 18.5, 16, 21, 12, 21);
        blob.cubicTo(6, 21, 3, 16.5, 3, 12);
        blob.cubicTo(3, 7, 7, 3, 12, 3);
        p.drawPath(blob);
        p.setBrush(ink);
        for (const QPointF &dot : {QPointF(8, 9), QPointF(12, 7), QPointF(16, 9), QPointF(7.5, 14)})
            p.drawEllipse(dot, 1.3, 1.3);
        break;
    }
    case Shape::calendar:
        p.drawRoundedRect(QRectF(3, 5, 18, 16), 2, 2);
        p.drawLine(QPointF(3, 10), QPointF(21, 10));
        p.drawLine(QPointF(8, 3), QPointF(8, 7));
        p.drawLine(QPointF(16, 3), QPointF(16, 7));
        break;
    case Shape::app:
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 4, 4);
        p.setBrush(ink);
        for (qreal x : {8.5, 15.5})
            for (qreal y : {8.5, 15.5})
                p.drawRoundedRect(QRectF(x - 2, y - 2, 4, 4), 1, 1);
        break;
    case Shape::power:
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4.5, 16, 16), 60 * 16, -300 * 16);
        p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
        break;
    case Shape::drive:
        p.drawRoundedRect(QRectF(2.5, 7, 19, 10), 2.5, 2.5);
        p.setBrush(ink);
        p.drawEllipse(QPointF(17.5, 12), 1.1, 1.1);
        p.drawLine(QPointF(6, 12), QPointF(12, 12));
        break;
    case Shape::noSign:
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        break;
    case Shape::placeholder:
        p.drawRoundedRect(QRectF(4, 4, 16, 16), 4, 4);
        break;
    }
}

} // namespace snipbrook
