#pragma once

#include "GlassSurface.h"

#include <QRect>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QToolButton;

namespace snipbrook {

class PanelSpinner;
class QuickAccessListModel;
class QuickAccessRowDelegate;
class QuickAccessViewModel;

// The quick-access panel: a frameless popup (a click outside closes it) with a header, the search
// bar and up to eight rows, drawing a QuickAccessViewModel and forwarding input to it. Built once
// and reused for every showing, so opening it costs no more than laying out eight rows.
class QuickAccessPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int margin = 8; // transparent, for the shadow
    static constexpr QSize contentSize{380, 420};

    struct Options {
        // Whether a compositor blends windows: translucent surface with a shadow, else an opaque
        // shape cut out by a window mask.
        bool translucent = true;
        // An ordinary frameless window that the desktop places and that closes when it loses the
        // focus, instead of a popup: on Wayland a popup needs a parent surface of ours in front.
        bool standaloneWindow = false;
    };

    QuickAccessPanel(QuickAccessViewModel &viewModel, Options options, QWidget *parent = nullptr);
    ~QuickAccessPanel() override;

    // Shows the panel fresh: under the tray icon when `anchor` (global coordinates) is known,
    // otherwise at the pointer; always fully on the screen they are on.
    void showAt(const std::optional<QRect> &anchor, QPoint pointer);

    QuickAccessViewModel &viewModel() { return m_viewModel; }
    QListView *listView() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }

signals:
    void visibilityChanged(bool visible);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildSearchBar();
    void buildContextMenu();
    void updateColors();
    void updateSearchBar();
    void updateEmptyState();
    void showContextMenu(const QPoint &pos);

    QuickAccessViewModel &m_viewModel;
    const bool m_standalone;
    GlassPanelStyle m_style;

    QLabel *m_headerIcon = nullptr;
    QToolButton *m_openMainWindow = nullptr;
    QLabel *m_searchIcon = nullptr;
    PanelSpinner *m_spinner = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_mode = nullptr;
    QToolButton *m_clear = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_empty = nullptr;
    QMenu *m_menu = nullptr;
    int m_menuRow = -1;

    QuickAccessListModel *m_model = nullptr;
    QuickAccessRowDelegate *m_delegate = nullptr;
};

} // namespace snipbrook
