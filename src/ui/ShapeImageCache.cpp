#include "ShapeImageCache.h"

#include <QPainter>

namespace snipbrook {

size_t qHash(const ShapeImageCache::Key &key, size_t seed)
{
    return qHashMulti(seed, key.shape, key.size.width(), key.size.height(), key.first, key.second, key.devicePixelRatio);
}

QImage ShapeImageCache::image(const Key &key, const Paint &paint)
{
    if (const auto found = m_images.constFind(key); found != m_images.constEnd())
        return *found;
    if (m_images.size() >= maxImages)
        m_images.clear();
    QImage image((QSizeF(key.size) * key.devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(key.devicePixelRatio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
    }
    m_images.insert(key, image);
    return image;
}

} // namespace snipbrook
