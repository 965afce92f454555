#include "CardGridView.h"

#include "CardDelegate.h"
#include "CardGridModel.h"
#include "SymbolIcons.h"
#include "ThumbnailCache.h"

#include "capture/ClipboardManager.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

namespace snipbrook {
namespace {

// The hovered card grows over this long; the badge fades in and out over fadeMs.
constexpr int hoverMs = 150;
constexpr int fadeMs = 200;

} // namespace

CardGridView::CardGridView(ClipboardManager &clipboard, QWidget *parent) : CardGridView(clipboard, Options{}, parent) {}

CardGridView::CardGridView(ClipboardManager &clipboard, Options options, QWidget *parent)
    : QListView(parent), m_clipboard(clipboard)
{
    m_model = new CardGridModel(options.now, this);
    m_thumbnails = new ThumbnailCache(options.thumbnailBytes, this);
    m_thumbnails->setContentLoader(clipboard.contentLoader());
    m_delegate = new CardDelegate(*m_thumbnails, options.appIcon, this);
    setModel(m_model);
    setItemDelegate(m_delegate);

    // A wrapping left-to-right list is a grid; equal cards let it lay out 10,000 of them at once.
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    // No view spacing: each cell holds its card with half the gap around it, and the viewport's
    // margins add the other half at the edges. (The view's own spacing leaves a wider gap on the
    // right than on the left.)
    setViewportMargins(spacing / 2, spacing / 2, spacing / 2, spacing / 2);
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAccessibleName(QStringLiteral("Clipboard items"));

    m_hoverAnimation.setDuration(hoverMs);
    m_hoverAnimation.setEasingCurve(QEasingCurve::OutBack);
    m_hoverAnimation.setStartValue(0.0);
    m_hoverAnimation.setEndValue(1.0);
    connect(&m_hoverAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_delegate->setHover(m_hovered, value.toReal());
        repaintCard(m_hovered);
    });

    m_copiedFade.setDuration(fadeMs);
    m_copiedFade.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_copiedFade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_delegate->setCopied(m_copiedId, value.toReal());
        repaintItem(m_copiedId);
    });
    m_copiedReset.setSingleShot(true);
    m_copiedReset.setInterval(copiedBadgeMs);
    connect(&m_copiedReset, &QTimer::timeout, this, [this] {
        m_copiedFade.stop();
        m_copiedFade.setStartValue(1.0);
        m_copiedFade.setEndValue(0.0);
        m_copiedFade.start();
    });

    connect(m_thumbnails, &ThumbnailCache::thumbnailReady, this, &CardGridView::repaintItem);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { setHovered({}); });
}

CardGridView::~CardGridView() = default;

void CardGridView::setItems(const QList<ClipboardItem> &items) { m_model->setItems(items); }

void CardGridView::setColumnCount(int columns)
{
    columns = std::max(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    updateCardWidth();
}

void CardGridView::setAccentColor(const QColor &color)
{
    m_delegate->setAccentColor(color);
    viewport()->update();
}

void CardGridView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    updateCardWidth();
}

void CardGridView::updateCardWidth()
{
    // The view wraps as if the scroll bar were there whether or not it shows, so the width does
    // not change when it appears.
    const int scrollBar = verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff ? 0 : verticalScrollBar()->sizeHint().width();
    const int cell = (maximumViewportSize().width() - scrollBar) / m_columns;
    const int width = std::max(120, cell - 2 * CardDelegate::cellMargin);
    if (width == m_delegate->cardWidth())
        return;
    m_delegate->setCardWidth(width);
    // Equal-sized cards are measured once; a new width needs a new layout.
    emit m_delegate->sizeHintChanged(m_model->index(0));
    scheduleDelayedItemsLayout();
}

void CardGridView::setHovered(const QModelIndex &index)
{
    if (QModelIndex(m_hovered) == index)
        return;
    const QModelIndex previous = m_hovered;
    m_hovered = index;
    m_hoverAnimation.stop();
    m_delegate->setHover(index, 0);
    repaintCard(previous);
    if (index.isValid())
        m_hoverAnimation.start();
}

void CardGridView::repaintCard(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    viewport()->update(visualRect(index));
}

void CardGridView::repaintItem(const QUuid &id)
{
    // Only cards on screen need it; look there first rather than through every row.
    const QModelIndex first = indexAt(QPoint(1, 1));
    const int from = first.isValid() ? first.row() : 0;
    const int rows = viewport()->height() / (CardDelegate::cardHeight + 2 * CardDelegate::cellMargin) + 2;
    const int to = std::min(m_model->rowCount(), from + m_columns * rows);
    for (int row = from; row < to; ++row) {
        if (m_model->items().at(row).id == id) {
            repaintCard(m_model->index(row));
            return;
        }
    }
}

void CardGridView::mouseMoveEvent(QMouseEvent *event)
{
    QListView::mouseMoveEvent(event);
    setHovered(indexAt(event->position().toPoint()));
}

bool CardGridView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave)
        setHovered({});
    return QListView::viewportEvent(event);
}

void CardGridView::mouseReleaseEvent(QMouseEvent *event)
{
    QListView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        copyItemAt(index);
}

void CardGridView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        && currentIndex().isValid()) {
        copyItemAt(currentIndex());
        return;
    }
    QListView::keyPressEvent(event);
}

void CardGridView::copyItemAt(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const ClipboardItem item = m_model->items().at(index.row());
    m_clipboard.setIsInternalCopy(true);
    m_clipboard.copyItem(item);
    // A second copy restarts the badge's time.
    const bool sameCard = m_copiedId == item.id && m_copiedReset.isActive();
    if (!sameCard && !m_copiedId.isNull())
        repaintItem(m_copiedId);
    m_copiedId = item.id;
    m_copiedFade.stop();
    m_copiedFade.setStartValue(sameCard ? 1.0 : 0.0);
    m_copiedFade.setEndValue(1.0);
    m_copiedFade.start();
    m_copiedReset.start();
    emit itemCopied(item);
}

QMenu *CardGridView::createContextMenu(const QModelIndex &index, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    if (!index.isValid())
        return menu;
    const ClipboardItem item = m_model->items().at(index.row());
    const QPersistentModelIndex card(index);
    menu->addAction(symbolIcon(QStringLiteral("doc.on.doc")), QStringLiteral("Copy"), this, [this, card] { copyItemAt(card); });
    menu->addAction(symbolIcon(QStringLiteral("arrow.down.doc")), QStringLiteral("Paste"), this,
                    [this, item] { emit pasteRequested(item); });
    const bool favourite = item.isFavorite;
    menu->addAction(symbolIcon(favourite ? QStringLiteral("heart.slash") : QStringLiteral("heart")),
                    favourite ? QStringLiteral("Remove from Favorites") : QStringLiteral("Add to Favorites"), this,
                    [this, id = item.id] { m_clipboard.toggleFavorite(id); });
    menu->addSeparator();
    menu->addAction(symbolIcon(QStringLiteral("trash")), QStringLiteral("Delete"), this,
                    [this, id = item.id] { m_clipboard.deleteItem(id); });
    return menu;
}

void CardGridView::contextMenuEvent(QContextMenuEvent *event)
{
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex index = fromKeyboard ? currentIndex() : indexAt(event->pos());
    if (!index.isValid())
        return;
    QMenu *menu = createContextMenu(index, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at = fromKeyboard ? viewport()->mapToGlobal(visualRect(index).center()) : event->globalPos();
    menu->popup(at);
}

} // namespace snipbrook
