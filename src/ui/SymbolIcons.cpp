#include "SymbolIcons.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <array>
#include <cmath>

namespace snipbrook {

namespace {

// What a drawn icon shows.
enum class Shape { clipboard, page, textPage, twoPages, pageArrow, photo, magnifier, brain, cross, check, trash, heart,
                   heartSlash, gear, plus, ellipsis, sliders, refresh, arrowUp, openWindow, keyboard, bubble, clock,
                   power, drive, noSign, placeholder };

struct SymbolRow {
    const char *symbol;
    const char *themeName; // "" where no freedesktop icon fits
    Shape shape;
};

// Names from the freedesktop icon naming rules where it has one, else names the common
// themes (Adwaita, Breeze) ship.
constexpr std::array symbolTable{
    SymbolRow{"doc.on.clipboard", "edit-paste", Shape::clipboard},
    SymbolRow{"doc.on.doc", "edit-copy", Shape::twoPages},
    SymbolRow{"doc", "text-x-generic", Shape::page},
    SymbolRow{"doc.text", "text-x-generic", Shape::textPage},
    SymbolRow{"arrow.down.doc", "document-import", Shape::pageArrow},
    SymbolRow{"photo", "image-x-generic", Shape::photo},
    SymbolRow{"link", "insert-link", Shape::placeholder},
    SymbolRow{"curlybraces", "text-x-script", Shape::textPage},
    SymbolRow{"envelope", "mail-unread", Shape::placeholder},
    SymbolRow{"phone", "phone", Shape::placeholder},
    SymbolRow{"paintpalette", "applications-graphics", Shape::placeholder},
    SymbolRow{"textformat", "format-text-bold", Shape::textPage},
    SymbolRow{"textformat.alt", "format-text-bold", Shape::textPage},
    SymbolRow{"face.smiling", "face-smile", Shape::placeholder},
    SymbolRow{"magnifyingglass", "edit-find", Shape::magnifier},
    SymbolRow{"text.magnifyingglass", "edit-find", Shape::magnifier},
    SymbolRow{"brain", "applications-science", Shape::brain},
    SymbolRow{"text.bubble", "insert-text", Shape::bubble},
    SymbolRow{"xmark.circle.fill", "edit-clear", Shape::cross},
    SymbolRow{"checkmark.circle.fill", "emblem-ok", Shape::check},
    SymbolRow{"trash", "edit-delete", Shape::trash},
    SymbolRow{"heart", "emblem-favorite", Shape::heart},
    SymbolRow{"heart.fill", "emblem-favorite", Shape::heart},
    SymbolRow{"heart.slash", "", Shape::heartSlash},
    SymbolRow{"gearshape", "preferences-system", Shape::gear},
    SymbolRow{"gearshape.fill", "preferences-system", Shape::gear},
    SymbolRow{"ellipsis.circle", "view-more", Shape::ellipsis},
    SymbolRow{"slider.horizontal.3", "preferences-other", Shape::sliders},
    SymbolRow{"keyboard", "input-keyboard", Shape::keyboard},
    SymbolRow{"plus.circle.fill", "list-add", Shape::plus},
    SymbolRow{"arrow.clockwise", "view-refresh", Shape::refresh},
    SymbolRow{"arrow.up.circle.fill", "go-up", Shape::arrowUp},
    SymbolRow{"arrow.up.right.square", "window-new", Shape::openWindow},
    SymbolRow{"app", "application-x-executable", Shape::placeholder},
    SymbolRow{"power", "system-shutdown", Shape::power},
    SymbolRow{"internaldrive", "drive-harddisk", Shape::drive},
    SymbolRow{"nosign", "action-unavailable", Shape::noSign},
    SymbolRow{"clock", "appointment-soon", Shape::clock},
    SymbolRow{"calendar", "x-office-calendar", Shape::placeholder},
    SymbolRow{"calendar.badge.clock", "x-office-calendar", Shape::clock},
};

const SymbolRow *findRow(const QString &symbol)
{
    for (const SymbolRow &row : symbolTable)
        if (symbol == QLatin1String(row.symbol))
            return &row;
    return nullptr;
}

// Draws on a 24 x 24 grid, scaled to the pixmap.
void drawShape(QPainter &p, Shape shape, const QColor &ink, const QColor &paper)
{
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
        // Without paper the marks are cut out of the disc.
        if (paper.alpha() == 0) {
            p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
            p.setCompositionMode(QPainter::CompositionMode_Clear);
        }
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

QPixmap drawPixmap(Shape shape, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    const QPalette palette = QGuiApplication::palette();
    drawShape(painter, shape, palette.color(QPalette::WindowText), palette.color(QPalette::Base));
    return pixmap;
}

} // namespace

QString freedesktopIconName(const QString &symbol)
{
    const SymbolRow *row = findRow(symbol);
    return row ? QString::fromLatin1(row->themeName) : QString();
}

QIcon drawnSymbolIcon(const QString &symbol)
{
    const SymbolRow *row = findRow(symbol);
    const Shape shape = row ? row->shape : Shape::placeholder;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawPixmap(shape, size));
    return icon;
}

QPixmap tintedSymbolPixmap(const QString &symbol, const QColor &color, int size, qreal devicePixelRatio)
{
    const int pixels = qMax(1, int(size * devicePixelRatio + 0.5));
    const QString themeName = freedesktopIconName(symbol);
    const QIcon symbolic = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName + QStringLiteral("-symbolic"));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!symbolic.isNull()) {
            painter.drawPixmap(QRect(0, 0, pixels, pixels), symbolic.pixmap(QSize(size, size), devicePixelRatio));
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(pixmap.rect(), color);
        } else {
            // Drawn in the colour itself, with no paper fill, so it reads as a one-colour symbol.
            const SymbolRow *row = findRow(symbol);
            painter.scale(pixels / 24.0, pixels / 24.0);
            drawShape(painter, row ? row->shape : Shape::placeholder, color, Qt::transparent);
        }
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon symbolIcon(const QString &symbol)
{
    static QHash<QString, QIcon> cache;
    const auto known = cache.constFind(symbol);
    if (known != cache.constEnd())
        return *known;
    const QString themeName = freedesktopIconName(symbol);
    QIcon icon = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName);
    if (icon.isNull())
        icon = drawnSymbolIcon(symbol);
    cache.insert(symbol, icon);
    return icon;
}

} // namespace snipbrook
