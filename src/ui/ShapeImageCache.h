#pragma once

#include <QHash>
#include <QImage>
#include <QRgb>
#include <QSize>

#include <functional>

class QPainter;

namespace snipbrook {

// Shapes drawn once into an image and from then on only blitted. Qt's raster engine hands every
// antialiased or translucent fill of more than about a hundred scanlines to its global thread pool
// in slices; on a desktop's two or four cores waking those threads costs more than the fill, and a
// screenful of cards spent half its time waiting for them. Every card's surface and every panel of
// one colour look alike, so each is drawn once per size and colour; a blit at a whole pixel is one
// plain pass. Main thread only.
class ShapeImageCache {
public:
    struct Key {
        int shape = 0; // the caller's own numbering
        QSize size;    // logical pixels
        QRgb first = 0;
        QRgb second = 0;
        qreal devicePixelRatio = 1;
        friend bool operator==(const Key &, const Key &) = default;
    };
    // Draws the shape into a transparent image of the key's logical size.
    using Paint = std::function<void(QPainter &)>;

    // The image for `key`, drawn by `paint` the first time it is asked for.
    QImage image(const Key &key, const Paint &paint);
    qsizetype count() const { return m_images.size(); }

private:
    // Palette changes and window sizes leave old shapes behind; a full cache starts again.
    static constexpr qsizetype maxImages = 48;
    QHash<Key, QImage> m_images;
};

size_t qHash(const ShapeImageCache::Key &key, size_t seed = 0);

} // namespace snipbrook
