#include "QuickAccessRowDelegate.h"

#include "SymbolIcons.h"
#include "QuickAccessListModel.h"
#include "QuickAccessViewModel.h"

#include "config/ColorNames.h"
#include "core/Async.h"
#include "model/ClipboardItem.h"
#include "model/Diagnostics.h"

#include <QAbstractItemView>
#include <QBuffer>
#include <QHelpEvent>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace snipbrook {
namespace {

constexpr int horizontalMargin = 10;
constexpr int verticalMargin = 6;
constexpr int spacing = 8;
constexpr int rowInset = 6; // the highlight's gap to the list's edges

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// One line of a title: line breaks and runs of blanks shown as single spaces.
QString singleLine(const QString &text)
{
    return text.left(400).simplified();
}

QFont titleFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(11);
    return font;
}

QFont timeFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(8.5);
    return font;
}

QRect shapeRect(const QRect &rowRect) { return rowRect.adjusted(rowInset, 1, -rowInset, -1); }

} // namespace

QuickAccessRowDelegate::QuickAccessRowDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QSize QuickAccessRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return {option.rect.width() > 0 ? option.rect.width() : 380, rowHeight};
}

QRect QuickAccessRowDelegate::buttonRect(const QRect &rowRect, Part button)
{
    const QRect shape = shapeRect(rowRect);
    const int top = shape.center().y() - buttonSize / 2 + 1;
    const int deleteLeft = shape.right() - horizontalMargin - buttonSize + 1;
    const int left = button == Part::deleteButton ? deleteLeft : deleteLeft - 4 - buttonSize;
    return {left, top, buttonSize, buttonSize};
}

QuickAccessRowDelegate::Part QuickAccessRowDelegate::partAt(const QRect &rowRect, const QPoint &pos, bool hovered)
{
    if (hovered) {
        if (buttonRect(rowRect, Part::pasteButton).contains(pos))
            return Part::pasteButton;
        if (buttonRect(rowRect, Part::deleteButton).contains(pos))
            return Part::deleteButton;
    }
    return Part::row;
}

void QuickAccessRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto item = index.data(QuickAccessListModel::ItemRole).value<ClipboardItem>();
    const QPalette &palette = option.palette;
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor secondary = palette.color(QPalette::PlaceholderText);
    const bool hovered = option.state & QStyle::State_MouseOver;
    const bool highlighted = index.data(QuickAccessListModel::IsHighlightedRole).toBool();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(shapeRect(option.rect)).adjusted(0.5, 0.5, -0.5, -0.5);
    if (hovered) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(withAlpha(accent, 0.10));
        painter->drawRoundedRect(shape, 8, 8);
    }
    if (highlighted) {
        painter->setPen(QPen(withAlpha(accent, 0.20), 1));
        painter->setBrush(withAlpha(accent, 0.08));
        painter->drawRoundedRect(shape, 8, 8);
    }

    const QRect content = shapeRect(option.rect).adjusted(horizontalMargin, verticalMargin, -horizontalMargin,
                                                         -verticalMargin);
    const QRect iconBox(content.left(), content.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    paintIcon(painter, iconBox, item, palette);

    int textRight = content.right();
    if (hovered) {
        textRight = buttonRect(option.rect, Part::pasteButton).left() - spacing;
        const qreal ratio = painter->device()->devicePixelRatioF();
        for (Part button : {Part::pasteButton, Part::deleteButton}) {
            const QRect box = buttonRect(option.rect, button);
            painter->setPen(Qt::NoPen);
            painter->setBrush(withAlpha(primary, 0.07));
            painter->drawRoundedRect(QRectF(box), 5, 5);
            const QString symbol = button == Part::pasteButton ? QStringLiteral("arrow.down.doc") : QStringLiteral("trash");
            const QColor tint = button == Part::deleteButton ? colorForName(QStringLiteral("red")) : primary;
            const QPixmap glyph = symbolPixmap(symbol, tint, 14, ratio);
            painter->drawPixmap(box.center() - QPoint(6, 6), glyph);
        }
    }

    const int textLeft = iconBox.right() + 1 + spacing;
    const QFont title = titleFont(option.font);
    const QFont time = timeFont(option.font);
    const QFontMetrics titleMetrics(title);
    const QFontMetrics timeMetrics(time);
    const int textHeight = titleMetrics.height() + 1 + timeMetrics.height();
    const int top = content.center().y() - textHeight / 2 + 1;
    const int width = std::max(0, textRight - textLeft + 1);

    painter->setFont(title);
    painter->setPen(primary);
    const QString titleText = titleMetrics.elidedText(singleLine(index.data(Qt::DisplayRole).toString()),
                                                      Qt::ElideRight, width);
    painter->drawText(QRect(textLeft, top, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, titleText);
    painter->setFont(time);
    painter->setPen(secondary);
    painter->drawText(QRect(textLeft, top + titleMetrics.height() + 1, width, timeMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, index.data(QuickAccessListModel::RelativeTimeRole).toString());
    painter->restore();
}

void QuickAccessRowDelegate::paintIcon(QPainter *painter, const QRect &box, const ClipboardItem &item,
                                       const QPalette &palette) const
{
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QColor secondary = palette.color(QPalette::PlaceholderText);
    if (item.type == ClipboardItemType::image) {
        const QPixmap image = thumbnail(item, ratio);
        if (!image.isNull()) {
            QPainterPath clip;
            clip.addRoundedRect(QRectF(box), 5, 5);
            painter->save();
            painter->setClipPath(clip);
            const QSize shown = image.deviceIndependentSize().toSize();
            painter->drawPixmap(box.center() - QPoint(shown.width() / 2, shown.height() / 2) + QPoint(1, 1), image);
            painter->restore();
            painter->setPen(QPen(secondary, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
            return;
        }
    }
    const bool brokenImage = item.type == ClipboardItemType::image;
    const QColor tint = brokenImage ? secondary : colorForName(tintColor(item.type));
    // The kind's symbol on a soft badge of its colour.
    QColor badge = tint;
    badge.setAlphaF(0.14f);
    painter->setPen(Qt::NoPen);
    painter->setBrush(badge);
    painter->drawRoundedRect(QRectF(box), 8, 8);
    const int glyph = 18;
    painter->drawPixmap(box.center() - QPoint(glyph / 2 - 1, glyph / 2 - 1),
                        symbolPixmap(brokenImage ? QStringLiteral("photo") : symbolName(item.type), tint, glyph, ratio));
}

QPixmap QuickAccessRowDelegate::thumbnail(const ClipboardItem &item, qreal devicePixelRatio) const
{
    if (QPixmap *cached = m_thumbnails.object(item.id))
        return *cached;
    if (!item.isContentInStore())
        return decodeThumbnail(item, devicePixelRatio);
    if (!m_contentSource || m_reading.contains(item.id))
        return {};
    m_reading.insert(item.id);
    auto *self = const_cast<QuickAccessRowDelegate *>(this);
    whenFinished(m_contentSource(item), self,
                 [self, id = item.id, devicePixelRatio](const QFuture<std::optional<ClipboardItem>> &read) {
                     self->m_reading.remove(id);
                     const std::optional<ClipboardItem> full = read.resultCount() > 0 ? read.result() : std::nullopt;
                     if (full)
                         self->decodeThumbnail(*full, devicePixelRatio);
                     else // logged by the read; the placeholder stays
                         self->m_thumbnails.insert(id, new QPixmap());
                     emit self->thumbnailReady();
                 });
    return {};
}

QPixmap QuickAccessRowDelegate::decodeThumbnail(const ClipboardItem &item, qreal devicePixelRatio) const
{
    QByteArray bytes = QByteArray::fromBase64(item.content.toLatin1());
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const int pixels = int(iconSize * devicePixelRatio + 0.5);
    const QSize full = reader.size();
    if (full.isValid()) // decode small where the format allows it
        reader.setScaledSize(full.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding));
    const QImage image = reader.read();
    QPixmap result;
    if (image.isNull()) {
        diag(QStringLiteral("⚠️ Image item %1 holds no readable image (%2); showing a placeholder")
                 .arg(item.id.toString(QUuid::WithoutBraces), reader.errorString()));
    } else {
        result = QPixmap::fromImage(image.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
        result.setDevicePixelRatio(devicePixelRatio);
    }
    m_thumbnails.insert(item.id, new QPixmap(result)); // a failure is remembered too: one log line
    return result;
}

bool QuickAccessRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                         const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
        return false;
    // The view does not mark the row hovered for events; a click there means the pointer is on it.
    switch (partAt(option.rect, mouse->position().toPoint(), true)) {
    case Part::pasteButton:
        emit pasteClicked(index.row());
        break;
    case Part::deleteButton:
        emit deleteClicked(index.row());
        break;
    case Part::row:
        emit rowClicked(index.row());
        break;
    }
    return true;
}

bool QuickAccessRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                       const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip) {
        const Part part = partAt(option.rect, event->pos(), true);
        if (part != Part::row) {
            QToolTip::showText(event->globalPos(),
                               part == Part::pasteButton ? QuickAccessViewModel::pasteToolTip() : QuickAccessViewModel::deleteToolTip(),
                               view->viewport(), buttonRect(option.rect, part));
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace snipbrook
