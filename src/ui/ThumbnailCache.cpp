#include "ThumbnailCache.h"

#include "core/Async.h"
#include "model/Diagnostics.h"
#include "system/ItemThumbnail.h"

#include <QPainter>

#include <cmath>

namespace snipbrook {
namespace {

// Requests beyond this many are the oldest, for cards long scrolled past: dropped.
constexpr qsizetype maxQueued = 64;

bool closeEnough(QSize a, QSize b)
{
    return std::abs(a.width() - b.width()) * 8 <= b.width() && std::abs(a.height() - b.height()) * 8 <= b.height();
}

// Cut here once rather than clipped at every paint: a clip path sends each paint of the picture
// down the raster engine's slow, thread-hopping path.
QImage withRoundedCorners(QImage image, qreal radius)
{
    if (image.isNull() || radius <= 0)
        return image;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    QImage mask(image.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(mask.rect()), radius, radius);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.drawImage(0, 0, image);
    painter.end();
    return mask;
}

} // namespace

ThumbnailCache::ThumbnailCache(qsizetype maxBytes, QObject *parent) : QObject(parent), m_cache(maxBytes)
{
    // One decoder: a picture takes tens of milliseconds, and the desktop needs the other cores.
    m_pool.setMaxThreadCount(1);
}

ThumbnailCache::~ThumbnailCache() { m_pool.waitForDone(); }

QImage ThumbnailCache::thumbnail(const ClipboardItem &item, QSize pixelSize, qreal cornerRadius)
{
    if (item.type != ClipboardItemType::image || pixelSize.isEmpty())
        return {};
    if (const Entry *entry = m_cache.object(item.id)) {
        if (!entry->image.isNull() && !closeEnough(entry->size, pixelSize))
            request(item, pixelSize, cornerRadius);
        return entry->image;
    }
    request(item, pixelSize, cornerRadius);
    return {};
}

void ThumbnailCache::request(const ClipboardItem &item, QSize pixelSize, qreal cornerRadius)
{
    if (m_pending.contains(item.id))
        return;
    m_pending.insert(item.id);
    m_queue.append({item, pixelSize, cornerRadius});
    if (m_queue.size() > maxQueued) {
        m_pending.remove(m_queue.first().item.id);
        m_queue.removeFirst();
    }
    startNext();
}

void ThumbnailCache::startNext()
{
    if (m_decoding || m_queue.isEmpty())
        return;
    const Request next = m_queue.takeLast();
    m_decoding = true;
    const QFuture<QImage> decoded = runOnPool(m_pool, [item = next.item, size = next.size, radius = next.cornerRadius,
                                                       load = m_contentLoader] {
        if (!item.isContentInStore() || !load)
            return withRoundedCorners(itemThumbnail(item, size), radius);
        const std::optional<ClipboardItem> full = load(item);
        return full ? withRoundedCorners(itemThumbnail(*full, size), radius) : QImage();
    });
    whenFinished(decoded, this, [this, id = next.item.id, size = next.size](const QFuture<QImage> &done) {
        finished(id, size, done.resultCount() > 0 ? done.result() : QImage());
    });
}

void ThumbnailCache::finished(const QUuid &id, QSize size, const QImage &image)
{
    m_decoding = false;
    m_pending.remove(id);
    if (image.isNull() && !m_cache.contains(id))
        diag(QStringLiteral("⚠️ Image item %1 holds no readable picture; its card shows a placeholder")
                 .arg(id.toString(QUuid::WithoutBraces)));
    const qsizetype cost = std::max<qsizetype>(image.sizeInBytes(), 1);
    m_cache.insert(id, new Entry{image, size}, cost);
    emit thumbnailReady(id);
    startNext();
}

} // namespace snipbrook
