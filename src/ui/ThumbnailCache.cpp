#include "ThumbnailCache.h"

#include "core/Async.h"
#include "model/Diagnostics.h"
#include "system/ItemThumbnail.h"

#include <cmath>

namespace snipbrook {
namespace {

// Requests beyond this many are the oldest, for cards long scrolled past: dropped.
constexpr qsizetype maxQueued = 64;

bool closeEnough(QSize a, QSize b)
{
    return std::abs(a.width() - b.width()) * 8 <= b.width() && std::abs(a.height() - b.height()) * 8 <= b.height();
}

} // namespace

ThumbnailCache::ThumbnailCache(qsizetype maxBytes, QObject *parent) : QObject(parent), m_cache(maxBytes)
{
    // One decoder: a picture takes tens of milliseconds, and the desktop needs the other cores.
    m_pool.setMaxThreadCount(1);
}

ThumbnailCache::~ThumbnailCache() { m_pool.waitForDone(); }

QImage ThumbnailCache::thumbnail(const ClipboardItem &item, QSize pixelSize)
{
    if (item.type != ClipboardItemType::image || pixelSize.isEmpty())
        return {};
    if (const Entry *entry = m_cache.object(item.id)) {
        if (!entry->image.isNull() && !closeEnough(entry->size, pixelSize))
            request(item, pixelSize);
        return entry->image;
    }
    request(item, pixelSize);
    return {};
}

void ThumbnailCache::request(const ClipboardItem &item, QSize pixelSize)
{
    if (m_pending.contains(item.id))
        return;
    m_pending.insert(item.id);
    m_queue.append({item, pixelSize});
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
    const QFuture<QImage> decoded = runOnPool(m_pool, [item = next.item, size = next.size, load = m_contentLoader] {
        if (!item.isContentInStore() || !load)
            return itemThumbnail(item, size);
        const std::optional<ClipboardItem> full = load(item);
        return full ? itemThumbnail(*full, size) : QImage();
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
