#include "PanelSymbols.h"

#include "model/Diagnostics.h"

#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QStandardPaths>

namespace snipbrook {
namespace {

// Symbol → theme icon. Symbolic icons are monochrome, so they take the symbol's colour.
const QHash<QString, QString> &symbolTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("doc.on.clipboard"), QStringLiteral("edit-paste-symbolic")},
        {QStringLiteral("arrow.up.right.square"), QStringLiteral("send-to-symbolic")},
        {QStringLiteral("brain"), QStringLiteral("preferences-system-search-symbolic")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("system-search-symbolic")},
        {QStringLiteral("text.bubble"), QStringLiteral("chat-message-new-symbolic")},
        {QStringLiteral("text.magnifyingglass"), QStringLiteral("edit-find-symbolic")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("edit-clear-symbolic")},
        {QStringLiteral("arrow.down.doc"), QStringLiteral("edit-paste-symbolic")},
        {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("photo"), QStringLiteral("image-x-generic-symbolic")},
        // The item kinds.
        {QStringLiteral("doc.text"), QStringLiteral("emblem-documents-symbolic")},
        {QStringLiteral("doc"), QStringLiteral("text-x-generic-symbolic")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy-symbolic")},
        {QStringLiteral("link"), QStringLiteral("web-browser-symbolic")},
        {QStringLiteral("curlybraces"), QStringLiteral("utilities-terminal-symbolic")},
        {QStringLiteral("envelope"), QStringLiteral("mail-unread-symbolic")},
        {QStringLiteral("phone"), QStringLiteral("call-start-symbolic")},
        {QStringLiteral("paintpalette"), QStringLiteral("color-select-symbolic")},
        {QStringLiteral("textformat"), QStringLiteral("format-text-rich-symbolic")},
        {QStringLiteral("face.smiling"), QStringLiteral("face-smile-symbolic")},
    };
    return table;
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
                diag(QStringLiteral("⚠️ No icon theme found; the quick-access panel draws plain symbols"));
            }
        }
        return true;
    }();
    (void)done;
}

// A stand-in: the symbol's initial in a rounded outline.
void drawStandIn(QPainter &painter, const QString &symbol, const QColor &color, int size)
{
    const QRectF box(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    painter.setPen(QPen(color, std::max(1.0, size / 12.0)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, size * 0.2, size * 0.2);
    QFont font = painter.font();
    font.setPixelSize(std::max(6, int(size * 0.55)));
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter, symbol.left(1).toUpper());
}

} // namespace

QString themeIconName(const QString &symbol) { return symbolTable().value(symbol); }

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
        const QIcon icon = QIcon::fromTheme(themeIconName(symbol));
        if (icon.isNull()) {
            painter.scale(devicePixelRatio, devicePixelRatio);
            drawStandIn(painter, symbol, color, size);
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
