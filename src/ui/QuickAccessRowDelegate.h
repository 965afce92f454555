#pragma once

#include "model/ClipboardItem.h"

#include <QCache>
#include <QFuture>
#include <QPixmap>
#include <QSet>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>
#include <optional>

namespace snipbrook {



// Paints one panel row: the kind's symbol (or the image's thumbnail), the title, the capture time,
// the highlight, and while hovered the paste and delete buttons. Clicks come out as signals.
class QuickAccessRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 46;
    static constexpr int iconSize = 32;
    static constexpr int buttonSize = 22;

    enum class Part { row, pasteButton, deleteButton };

    // Gives an image whose data is in the store its content, off the main thread.
    using ContentSource = std::function<QFuture<std::optional<ClipboardItem>>(const ClipboardItem &)>;

    explicit QuickAccessRowDelegate(QObject *parent = nullptr);
    // Without one, images whose data is in the store show the placeholder.
    void setContentSource(ContentSource source) { m_contentSource = std::move(source); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // Which part of a row drawn in `rowRect` lies at `pos`; buttons count only while hovered.
    static Part partAt(const QRect &rowRect, const QPoint &pos, bool hovered);
    static QRect buttonRect(const QRect &rowRect, Part button);

signals:
    void rowClicked(int row);
    void pasteClicked(int row);
    void deleteClicked(int row);
    // A thumbnail whose data had to be read first is ready: the rows need painting again.
    void thumbnailReady();

private:
    void paintIcon(QPainter *painter, const QRect &box, const ClipboardItem &item, const QPalette &palette) const;
    // The image item's thumbnail, decoded once; null when the data is not an image.
    QPixmap thumbnail(const ClipboardItem &item, qreal devicePixelRatio) const;

    // Decodes the item's data into the cache (a failure is remembered too: one log line).
    QPixmap decodeThumbnail(const ClipboardItem &item, qreal devicePixelRatio) const;

    mutable QCache<QUuid, QPixmap> m_thumbnails{32};
    ContentSource m_contentSource;
    mutable QSet<QUuid> m_reading; // data being read from the store
};

} // namespace snipbrook
