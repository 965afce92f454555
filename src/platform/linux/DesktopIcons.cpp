#include "DesktopIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QThread>

namespace snipbrook {
namespace {

bool canUseIconTheme()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        && QThread::currentThread() == QCoreApplication::instance()->thread();
}

QImage fitted(QImage image, int size)
{
    if (image.isNull())
        return image;
    if (image.width() != size || image.height() != size)
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage fromTheme(const QString &name, int size)
{
    if (!canUseIconTheme())
        return {};
    const QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? QImage() : fitted(icon.pixmap(QSize(size, size)).toImage(), size);
}

// The hicolor theme every desktop has, then pixmaps/, for when the theme cannot be asked.
QImage fromFiles(const QString &name, const QStringList &dataDirs, int size)
{
    const QString sized = QStringLiteral("%1x%1").arg(size);
    const QStringList sizes{sized, QStringLiteral("128x128"), QStringLiteral("256x256"), QStringLiteral("96x96"),
                            QStringLiteral("64x64"), QStringLiteral("48x48"), QStringLiteral("512x512"),
                            QStringLiteral("32x32"), QStringLiteral("24x24"), QStringLiteral("16x16")};
    for (const QString &dataDir : dataDirs) {
        const QDir icons(QDir(dataDir).filePath(QStringLiteral("icons/hicolor")));
        for (const QString &folder : sizes) {
            const QString path = icons.filePath(folder + QStringLiteral("/apps/") + name + QStringLiteral(".png"));
            if (QFileInfo::exists(path)) {
                if (QImage image(path); !image.isNull())
                    return fitted(image, size);
            }
        }
    }
    for (const QString &dataDir : dataDirs) {
        for (const char *suffix : {".png", ".xpm", ".svg"}) {
            const QString path = QDir(dataDir).filePath(QStringLiteral("pixmaps/") + name + QLatin1StringView(suffix));
            if (QFileInfo::exists(path)) {
                if (QImage image(path); !image.isNull())
                    return fitted(image, size);
            }
        }
    }
    return {};
}

} // namespace

QImage renderDesktopIcon(const QString &icon, const QStringList &dataDirs, int size)
{
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return fitted(QImage(icon), size);
    // Some entries name the icon with its file extension.
    QString name = icon;
    for (const char *suffix : {".png", ".svg", ".xpm"}) {
        if (name.endsWith(QLatin1StringView(suffix)))
            name.chop(4);
    }
    if (QImage image = fromTheme(name, size); !image.isNull())
        return image;
    return fromFiles(name, dataDirs, size);
}

QImage genericApplicationIcon(int size)
{
    if (QImage themed = fromTheme(QStringLiteral("application-x-executable"), size); !themed.isNull())
        return themed;
    // A plain window shape, drawn so there is always something to show.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 8.0;
    const QRectF frame(margin, margin, size - 2 * margin, size - 2 * margin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8a, 0x8f, 0x98));
    painter.drawRoundedRect(frame, size / 10.0, size / 10.0);
    painter.setBrush(QColor(0xf2, 0xf3, 0xf5));
    const qreal inset = size / 16.0;
    painter.drawRect(frame.adjusted(inset, size / 5.0, -inset, -inset));
    return image;
}

} // namespace snipbrook
