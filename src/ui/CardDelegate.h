#pragma once

#include "ShapeImageCache.h"

#include <QHash>
#include <QImage>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>

namespace snipbrook {

struct ClipboardItem;
struct PreviewLook;
struct MetadataBadges;
class ThumbnailCache;

// Paints one card of the grid: the preview of its kind, the metadata badges, the capture time,
// the favourite mark and, after a copy, the "Copied!" badge; the hovered card a little larger.
// Every card has the same size (given by the view from its column count), so the view lays out
// 10,000 cards without asking each one.
class CardDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int padding = 8;
    static constexpr int previewHeight = 128;
    static constexpr int badgeRowHeight = 18;
    static constexpr int timeRowHeight = 16;
    static constexpr int cardHeight = padding + previewHeight + 4 + badgeRowHeight + 2 + timeRowHeight + padding;
    static constexpr qreal hoverScale = 1.02;
    // Each card sits in a cell of the view with this margin around it: half the gap between cards.
    static constexpr int cellMargin = 8;
    // The preview panel's corners; image thumbnails are cut to them.
    static constexpr qreal panelRadius = 8;

    // The application icon for a bundle identifier, or a null image; asked once per application.
    using AppIconLookup = std::function<QImage(const QString &bundle)>;

    CardDelegate(ThumbnailCache &thumbnails, AppIconLookup appIcons, QObject *parent = nullptr);

    void setCardWidth(int width) { m_cardWidth = width; }
    // The card within the view's cell for it.
    static QRect cardRect(const QRect &cellRect)
    {
        return cellRect.adjusted(cellMargin, cellMargin, -cellMargin, -cellMargin);
    }
    int cardWidth() const { return m_cardWidth; }
    // The "Copied!" badge's colour (the palette's primary colour; drawn at 80 %).
    void setAccentColor(const QColor &color) { m_accent = color; }
    // Animation state the view drives: how far the hovered card has grown (0..1) and how visible
    // the copied card's badge is (0..1).
    void setHover(const QModelIndex &index, qreal progress);
    void setCopied(const QUuid &id, qreal opacity);

    // The device-pixel size the card's image preview draws at, which the thumbnails are decoded to.
    QSize thumbnailPixelSize(qreal devicePixelRatio) const;
    // Where the preview sits in a card drawn in `cardRect`.
    static QRect previewRect(const QRect &cardRect);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    enum Shape { surfaceShape, panelShape };
    void paintSurface(QPainter *painter, const QRect &card, const QPalette &palette) const;
    void paintPreview(QPainter *painter, const QRect &box, const ClipboardItem &item, const PreviewLook &look,
                      const QStyleOptionViewItem &option) const;
    void paintSymbol(QPainter *painter, const QRect &box, const PreviewLook &look, const QFont &base) const;
    void paintBadges(QPainter *painter, const QRect &row, const MetadataBadges &badges, const QStyleOptionViewItem &option) const;
    void paintCopiedBadge(QPainter *painter, const QRect &preview, const QFont &base, qreal opacity) const;
    QPixmap appIcon(const QString &bundle, qreal devicePixelRatio) const;

    ThumbnailCache &m_thumbnails;
    AppIconLookup m_appIconLookup;
    int m_cardWidth = 220;
    QColor m_accent;
    QPersistentModelIndex m_hovered;
    qreal m_hoverProgress = 0;
    QUuid m_copiedId;
    qreal m_copiedOpacity = 0;
    mutable QHash<QString, QPixmap> m_appIcons; // null: the application has no icon
    mutable ShapeImageCache m_shapes;
};

} // namespace snipbrook
