#pragma once

#include "model/ClipboardItem.h"

#include <QListView>
#include <QTimer>
#include <QVariantAnimation>

#include <functional>

class QMenu;

namespace snipbrook {

class CardDelegate;
class CardGridModel;
class ClipboardManager;
class ThumbnailCache;

// The main window's grid of cards: one list view over the cards' model, painted by CardDelegate,
// with as many columns as the window asks for. A click copies the card's item (and shows
// "Copied!" on it for 1.5 s); the context menu copies, pastes, marks as favourite or deletes.
// Copy, favourite and delete go to the history; paste is the window's to do (pasteRequested).
class CardGridView : public QListView {
    Q_OBJECT
public:
    static constexpr int spacing = 16;
    static constexpr int copiedBadgeMs = 1500;

    struct Options {
        // The time relative times are measured from; the wall clock when empty.
        std::function<QDateTime()> now;
        // Application icons for the source badge; the symbol "app" stands in when empty.
        std::function<QImage(const QString &bundle)> appIcon;
        // Bytes of decoded thumbnails kept.
        qsizetype thumbnailBytes = 48 * 1024 * 1024;
    };

    explicit CardGridView(ClipboardManager &clipboard, QWidget *parent = nullptr);
    CardGridView(ClipboardManager &clipboard, Options options, QWidget *parent = nullptr);
    ~CardGridView() override;

    // The cards to show, in order (the category's items or the search results' items).
    void setItems(const QList<ClipboardItem> &items);
    // 2, 3 or 4, as the window's width decides.
    void setColumnCount(int columns);
    int columnCount() const { return m_columns; }
    // The selected palette's primary colour, for the "Copied!" badge.
    void setAccentColor(const QColor &color);

    CardGridModel &cardModel() { return *m_model; }
    CardDelegate &cardDelegate() { return *m_delegate; }
    ThumbnailCache &thumbnails() { return *m_thumbnails; }

    // The card's context menu (Copy, Paste, Add to / Remove from Favorites, Delete); the caller
    // owns it. Public so tests and keyboard users reach the same actions.
    QMenu *createContextMenu(const QModelIndex &index, QWidget *parent = nullptr);
    void copyItemAt(const QModelIndex &index);
    // True while a card grows or a badge fades.
    bool isAnimating() const
    {
        return m_hoverAnimation.state() == QAbstractAnimation::Running || m_copiedFade.state() == QAbstractAnimation::Running;
    }

signals:
    void pasteRequested(const snipbrook::ClipboardItem &item);
    // After a card's item went onto the clipboard by a click, Return or the menu.
    void itemCopied(const snipbrook::ClipboardItem &item);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void updateCardWidth();
    void setHovered(const QModelIndex &index);
    void repaintCard(const QModelIndex &index);
    void repaintItem(const QUuid &id);

    ClipboardManager &m_clipboard;
    CardGridModel *m_model = nullptr;
    ThumbnailCache *m_thumbnails = nullptr;
    CardDelegate *m_delegate = nullptr;
    int m_columns = 2;
    QPersistentModelIndex m_hovered;
    QVariantAnimation m_hoverAnimation;
    QUuid m_copiedId;
    QVariantAnimation m_copiedFade;
    QTimer m_copiedReset;
};

} // namespace snipbrook
