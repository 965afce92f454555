#include "SymbolIcons.h"

#include "SymbolDrawing.h"
#include "model/Diagnostics.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QStandardPaths>

#include <array>

namespace snipbrook {

namespace {

struct SymbolRow {
    const char *symbol;
    const char *themeName;    // "" where no freedesktop icon fits
    const char *symbolicName; // the monochrome one, "" where none fits
    SymbolShape shape;
};

// Names from the freedesktop icon naming rules where it has one, else names the common
// themes (Adwaita, Breeze) ship.
constexpr std::array symbolTable{
    SymbolRow{"doc.on.clipboard", "edit-paste", "edit-paste-symbolic", SymbolShape::clipboard},
    SymbolRow{"doc.on.doc", "edit-copy", "edit-copy-symbolic", SymbolShape::twoPages},
    SymbolRow{"doc", "text-x-generic", "text-x-generic-symbolic", SymbolShape::page},
    SymbolRow{"doc.text", "text-x-generic", "emblem-documents-symbolic", SymbolShape::textPage},
    SymbolRow{"arrow.down.doc", "document-import", "edit-paste-symbolic", SymbolShape::pageArrow},
    SymbolRow{"photo", "image-x-generic", "image-x-generic-symbolic", SymbolShape::photo},
    SymbolRow{"link", "insert-link", "web-browser-symbolic", SymbolShape::link},
    SymbolRow{"curlybraces", "text-x-script", "utilities-terminal-symbolic", SymbolShape::textPage},
    SymbolRow{"envelope", "mail-unread", "mail-unread-symbolic", SymbolShape::envelope},
    SymbolRow{"phone", "phone", "call-start-symbolic", SymbolShape::phone},
    SymbolRow{"paintpalette", "applications-graphics", "color-select-symbolic", SymbolShape::palette},
    SymbolRow{"textformat", "format-text-bold", "format-text-rich-symbolic", SymbolShape::textPage},
    SymbolRow{"textformat.alt", "format-text-bold", "", SymbolShape::textPage},
    SymbolRow{"face.smiling", "face-smile", "face-smile-symbolic", SymbolShape::face},
    SymbolRow{"magnifyingglass", "edit-find", "system-search-symbolic", SymbolShape::magnifier},
    SymbolRow{"text.magnifyingglass", "edit-find", "edit-find-symbolic", SymbolShape::magnifier},
    SymbolRow{"brain", "applications-science", "preferences-system-search-symbolic", SymbolShape::brain},
    SymbolRow{"text.bubble", "insert-text", "chat-message-new-symbolic", SymbolShape::bubble},
    SymbolRow{"xmark.circle.fill", "edit-clear", "edit-clear-symbolic", SymbolShape::cross},
    SymbolRow{"checkmark.circle.fill", "emblem-ok", "", SymbolShape::check},
    SymbolRow{"trash", "edit-delete", "user-trash-symbolic", SymbolShape::trash},
    SymbolRow{"heart", "emblem-favorite", "", SymbolShape::heart},
    SymbolRow{"heart.fill", "emblem-favorite", "", SymbolShape::heart},
    SymbolRow{"heart.slash", "", "", SymbolShape::heartSlash},
    SymbolRow{"gearshape", "preferences-system", "emblem-system-symbolic", SymbolShape::gear},
    SymbolRow{"gearshape.fill", "preferences-system", "emblem-system-symbolic", SymbolShape::gear},
    SymbolRow{"ellipsis.circle", "view-more", "", SymbolShape::ellipsis},
    SymbolRow{"slider.horizontal.3", "preferences-other", "", SymbolShape::sliders},
    SymbolRow{"keyboard", "input-keyboard", "input-keyboard-symbolic", SymbolShape::keyboard},
    SymbolRow{"plus.circle.fill", "list-add", "list-add-symbolic", SymbolShape::plus},
    SymbolRow{"arrow.clockwise", "view-refresh", "view-refresh-symbolic", SymbolShape::refresh},
    SymbolRow{"arrow.up.circle.fill", "go-up", "", SymbolShape::arrowUp},
    SymbolRow{"arrow.up.right.square", "window-new", "send-to-symbolic", SymbolShape::openWindow},
    SymbolRow{"app", "application-x-executable", "application-x-executable-symbolic", SymbolShape::app},
    SymbolRow{"power", "system-shutdown", "system-shutdown-symbolic", SymbolShape::power},
    SymbolRow{"internaldrive", "drive-harddisk", "drive-harddisk-symbolic", SymbolShape::drive},
    SymbolRow{"nosign", "action-unavailable", "action-unavailable-symbolic", SymbolShape::noSign},
    SymbolRow{"clock", "appointment-soon", "alarm-symbolic", SymbolShape::clock},
    SymbolRow{"calendar", "x-office-calendar", "x-office-calendar-symbolic", SymbolShape::calendar},
    SymbolRow{"calendar.badge.clock", "x-office-calendar", "", SymbolShape::clock},
};

const SymbolRow *findRow(const QString &symbol)
{
    for (const SymbolRow &row : symbolTable)
        if (symbol == QLatin1String(row.symbol))
            return &row;
    return nullptr;
}

SymbolShape shapeOf(const QString &symbol)
{
    const SymbolRow *row = findRow(symbol);
    return row ? row->shape : SymbolShape::placeholder;
}

// A desktop without a configured icon theme (a bare X server, a minimal window manager, the
// offscreen platform) gives Qt no search paths and no theme name, yet usually has Adwaita
// installed: look there before drawing stand-ins.
void findIconThemeWhenNoneIsSet()
{
    static const bool done = [] {
        const QString probe = QStringLiteral("edit-copy-symbolic");
        if (!QIcon::fromTheme(probe).isNull())
            return true;
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &folder : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                               QStringLiteral("icons"), QStandardPaths::LocateDirectory)) {
            if (!paths.contains(folder))
                paths.append(folder);
        }
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::fromTheme(probe).isNull()) {
            const QString theme = QIcon::themeName();
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            if (QIcon::fromTheme(probe).isNull()) {
                QIcon::setThemeName(theme);
                diag(QStringLiteral("⚠️ No icon theme found; symbols are drawn plainly"));
            }
        }
        return true;
    }();
    (void)done;
}

QPixmap drawPixmap(SymbolShape shape, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    const QPalette palette = QGuiApplication::palette();
    drawSymbolShape(painter, shape, palette.color(QPalette::WindowText), palette.color(QPalette::Base));
    return pixmap;
}

} // namespace

QString freedesktopIconName(const QString &symbol)
{
    const SymbolRow *row = findRow(symbol);
    return row ? QString::fromLatin1(row->themeName) : QString();
}

QString symbolicIconName(const QString &symbol)
{
    const SymbolRow *row = findRow(symbol);
    return row ? QString::fromLatin1(row->symbolicName) : QString();
}

QIcon drawnSymbolIcon(const QString &symbol)
{
    const SymbolShape shape = shapeOf(symbol);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawPixmap(shape, size));
    return icon;
}

QIcon symbolIcon(const QString &symbol)
{
    // Drawn icons carry the palette's colours: a light/dark switch must not reuse old ones.
    static QHash<QString, QIcon> cache;
    const QString key = symbol + QLatin1Char('/') +
                        QString::number(QGuiApplication::palette().color(QPalette::WindowText).rgba(), 16);
    const auto known = cache.constFind(key);
    if (known != cache.constEnd())
        return *known;
    findIconThemeWhenNoneIsSet();
    const QString themeName = freedesktopIconName(symbol);
    QIcon icon = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName);
    if (icon.isNull())
        icon = drawnSymbolIcon(symbol);
    cache.insert(key, icon);
    return icon;
}

QPixmap symbolPixmap(const QString &symbol, const QColor &color, int size, qreal devicePixelRatio)
{
    const QString key = QStringLiteral("snipbrook-symbol/%1/%2/%3/%4")
                            .arg(symbol)
                            .arg(color.rgba(), 8, 16)
                            .arg(size)
                            .arg(int(devicePixelRatio * 100));
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    findIconThemeWhenNoneIsSet();
    const int pixels = int(size * devicePixelRatio + 0.5);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QString themeName = symbolicIconName(symbol);
        const QIcon icon = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName);
        if (icon.isNull()) {
            // One colour: inner surfaces are cut out rather than filled.
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.scale(pixels / 24.0, pixels / 24.0);
            drawSymbolShape(painter, shapeOf(symbol), color, Qt::transparent);
        } else {
            painter.drawPixmap(QRect(0, 0, pixels, pixels), icon.pixmap(QSize(size, size), devicePixelRatio));
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(pixmap.rect(), color);
        }
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon symbolIcon(const QString &symbol, const QColor &color, int size)
{
    QIcon icon;
    icon.addPixmap(symbolPixmap(symbol, color, size, 1.0));
    icon.addPixmap(symbolPixmap(symbol, color, size, 2.0));
    return icon;
}

} // namespace snipbrook
