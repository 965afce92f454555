#pragma once

#include "MainWindowViewModel.h"

#include <QMainWindow>

#include <functional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QStringListModel;
class QToolButton;
class QTreeWidget;

namespace snipbrook {

class PanelSpinner;

// The main window: the category sidebar, the search bar with its options and status row, and the
// main area (a grid of cards, or the searching, empty and no-results views). It draws a
// MainWindowViewModel and forwards input to it; the application's commands and windows beyond it
// come in as hooks.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr QSize defaultSize{1000, 700};
    static constexpr QSize minimumContentSize{800, 600};

    struct Hooks {
        std::function<void()> openSettings;
        std::function<void()> toggleAutoStart;
        // Hides the window to the tray, keeping the tray menu's "Show Main Window" in step.
        std::function<void()> hideMainWindow;
        // Closing hides the window to the tray only while there is a tray to come back from.
        std::function<bool()> isTrayPresent;
        std::function<void()> showAbout;
        std::function<void()> quit;
        // The configured global shortcut as people read it ("Ctrl+Shift+Space").
        std::function<QString()> shortcutText;
    };

    MainWindow(MainWindowViewModel &viewModel, Hooks hooks, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Puts the grid of cards in place of the placeholder list; the window owns it from now on.
    // The grid reads viewModel().displayedItems() on displayedItemsChanged and its column count
    // on columnsChanged.
    void setGridView(QWidget *grid);
    QWidget *gridView() const { return m_gridPage; }
    MainWindowViewModel &viewModel() const { return m_viewModel; }

    void showHelp();

    // Where a compositor blends windows, the window's own surface is the thin material: the
    // window colour at 85 %, with what lies behind showing through. Call before the first show.
    void setTranslucentSurface(bool translucent);
    bool hasTranslucentSurface() const { return m_translucent; }

signals:
    // Shown or hidden by any means (the tray, the command line, the window manager's close).
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_translucent = false;
    void buildMenus();
    QWidget *buildSidebar();
    QWidget *buildMainArea();
    QWidget *buildSearchBar();
    QWidget *buildOptionsPanel();
    QWidget *buildStatusRow();
    QWidget *buildSearchingView();
    QWidget *buildEmptyView();
    QWidget *buildNoResultsView();

    void rebuildSidebar();
    void showContent();
    void showStatus();
    void showSearchText(const QString &text);
    void showSearchMode();
    void refreshPlaceholder();
    void applyColors();

    MainWindowViewModel &m_viewModel;
    const Hooks m_hooks;

    QTreeWidget *m_categories = nullptr;
    bool m_rebuildingSidebar = false;
    QLabel *m_areaTitle = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_clear = nullptr;
    QToolButton *m_optionsToggle = nullptr;
    QWidget *m_options = nullptr;
    QButtonGroup *m_modes = nullptr;
    QWidget *m_statusRow = nullptr;
    PanelSpinner *m_statusSpinner = nullptr;
    QLabel *m_statusCheck = nullptr;
    QLabel *m_statusText = nullptr;
    QLabel *m_statusAI = nullptr;
    QLabel *m_matchLabel = nullptr;
    QLabel *m_matchValue = nullptr;
    QStackedWidget *m_content = nullptr;
    QWidget *m_searchingPage = nullptr;
    QWidget *m_gridPage = nullptr;
    QListView *m_placeholder = nullptr;
    QStringListModel *m_placeholderModel = nullptr;
    QWidget *m_emptyPage = nullptr;
    QLabel *m_emptyTitle = nullptr;
    QWidget *m_noResultsPage = nullptr;
    QLabel *m_noResultsMessage = nullptr;
};

} // namespace snipbrook
