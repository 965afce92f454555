#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

namespace snipbrook::test {

// A PNG file's bytes: a plain image of that size, as another application would copy it.
inline QByteArray pngBytes(QSize size, const QColor &color = Qt::darkCyan)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace snipbrook::test
