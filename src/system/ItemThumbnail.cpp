#include "ItemThumbnail.h"

#include "capture/ClipboardWriteBack.h"

#include <QPainter>

namespace snipbrook {

QImage itemThumbnail(const ClipboardItem &item, QSize size)
{
    const std::optional<QByteArray> bytes = decodeStrictBase64(item.preview.isEmpty() ? item.content : item.preview);
    if (!bytes)
        return {};
    const QImage picture = QImage::fromData(*bytes);
    if (picture.isNull())
        return {};
    const QImage scaled = picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(size, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.drawImage((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2, scaled);
    return square;
}

} // namespace snipbrook
