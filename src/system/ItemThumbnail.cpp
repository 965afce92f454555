#include "ItemThumbnail.h"

#include "capture/ClipboardWriteBack.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace snipbrook {

namespace {

QImage decodeThumbnail(const QString &base64, QSize size)
{
    const std::optional<QByteArray> bytes = decodeStrictBase64(base64);
    if (!bytes)
        return {};
    QByteArray data = *bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Formats that can (JPEG) decode straight at about the size shown, which is much quicker and
    // never holds the full picture; the others decode whole and are scaled below.
    if (const QSize full = reader.size(); full.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage picture = reader.read();
    if (picture.isNull())
        return {};
    const QImage scaled = picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(size, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2, scaled);
    return square;
}

} // namespace

QImage itemThumbnail(const ClipboardItem &item, QSize size)
{
    // A captured image's preview is its data; an imported one may carry a preview that is not a
    // picture, and then the content is.
    if (!item.preview.isEmpty())
        if (QImage fromPreview = decodeThumbnail(item.preview, size); !fromPreview.isNull() || item.preview == item.content)
            return fromPreview;
    return decodeThumbnail(item.content, size);
}

} // namespace snipbrook
