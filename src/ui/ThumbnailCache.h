#pragma once

#include "model/ClipboardItem.h"

#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QThreadPool>
#include <QUuid>

#include <functional>
#include <optional>

namespace snipbrook {

// Image items' thumbnails for the cards, decoded once off the main thread at the size a card draws
// and kept in a bounded cache (least recently used go first) keyed by item id, so scrolling never
// decodes and memory does not grow with the history. Painting asks; a missing thumbnail starts
// its decode and the card shows a placeholder until thumbnailReady names it. The newest request
// is decoded first, so after a fast scroll the cards on screen come before those scrolled past.
// Main thread only.
class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype defaultMaxBytes = 48 * 1024 * 1024;

    // Gives an item whose data is in the store its content, on the decoding thread (waiting is
    // fine there); nothing when that fails. ClipboardManager::contentLoader is one.
    using ContentLoader = std::function<std::optional<ClipboardItem>(const ClipboardItem &)>;

    explicit ThumbnailCache(qsizetype maxBytes = defaultMaxBytes, QObject *parent = nullptr);
    ~ThumbnailCache() override;

    // Without one, items are decoded from the data they hold.
    void setContentLoader(ContentLoader loader) { m_contentLoader = std::move(loader); }

    // The thumbnail (device pixels `pixelSize`, the picture centred and its aspect kept, corners
    // of `cornerRadius` device pixels cut out); a null image while it decodes and for data that is
    // not a picture. Starts the decode when needed. A cached thumbnail of a rather different size
    // is still returned while the new one decodes.
    QImage thumbnail(const ClipboardItem &item, QSize pixelSize, qreal cornerRadius = 0);
    // True once the item's data has been tried (a picture or not).
    bool isDecoded(const QUuid &id) const { return m_cache.contains(id); }

    qsizetype count() const { return m_cache.count(); }
    qsizetype totalBytes() const { return m_cache.totalCost(); }

signals:
    void thumbnailReady(const QUuid &id);

private:
    struct Entry {
        QImage image; // null: not a picture
        QSize size;   // the size asked for
    };
    struct Request {
        ClipboardItem item;
        QSize size;
        qreal cornerRadius;
    };

    void request(const ClipboardItem &item, QSize pixelSize, qreal cornerRadius);
    void startNext();
    void finished(const QUuid &id, QSize size, const QImage &image);

    QCache<QUuid, Entry> m_cache;
    QList<Request> m_queue; // served newest first
    QSet<QUuid> m_pending;  // queued or decoding
    bool m_decoding = false;
    ContentLoader m_contentLoader;
    QThreadPool m_pool;
};

} // namespace snipbrook
