#include "MainWindow.h"

#include "AppMessages.h"
#include "ApplicationIcon.h"
#include "GlassSurface.h"
#include "PaletteButton.h"
#include "PanelParts.h"
#include "SymbolIcons.h"

#include "config/ColorNames.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStringListModel>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace snipbrook {
namespace {

// Labels drawn in the palette's secondary colour carry this property, so a palette change
// (light to dark) can recolour them.
const char *const secondaryProperty = "snipbrookSecondary";

QColor secondaryColor(const QPalette &palette) { return palette.color(QPalette::PlaceholderText); }



QLabel *label(const QString &text, QWidget *parent, qreal pointSize = 0, QFont::Weight weight = QFont::Normal,
              bool secondary = true)
{
    auto *result = new QLabel(text, parent);
    QFont font = result->font();
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    font.setWeight(weight);
    result->setFont(font);
    result->setProperty(secondaryProperty, secondary);
    result->setAccessibleName(text);
    return result;
}

QToolButton *plainButton(const QString &accessibleName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(accessibleName);
    button->setAccessibleName(accessibleName);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

constexpr qreal captionPoints = 8.5;
constexpr qreal caption2Points = 7.5;
constexpr qreal title2Points = 15;

} // namespace

MainWindow::MainWindow(MainWindowViewModel &viewModel, Hooks hooks, QWidget *parent)
    : QMainWindow(parent), m_viewModel(viewModel), m_hooks(std::move(hooks))
{
    setWindowTitle(MainWindowViewModel::title());
    setAccessibleName(MainWindowViewModel::title());
    setWindowIcon(applicationIcon());
    resize(defaultSize);
    setMinimumSize(minimumContentSize);

    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(buildSidebar());
    auto *line = new QFrame(central);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setProperty(secondaryProperty, true);
    row->addWidget(line);
    row->addWidget(buildMainArea(), 1);
    setCentralWidget(central);
    buildMenus();

    connect(&m_viewModel, &MainWindowViewModel::sidebarChanged, this, &MainWindow::rebuildSidebar);
    connect(&m_viewModel, &MainWindowViewModel::contentChanged, this, &MainWindow::showContent);
    connect(&m_viewModel, &MainWindowViewModel::statusChanged, this, [this] {
        showStatus();
        showContent();
    });
    connect(&m_viewModel, &MainWindowViewModel::displayedItemsChanged, this, &MainWindow::refreshPlaceholder);
    connect(&m_viewModel, &MainWindowViewModel::searchTextChanged, this, &MainWindow::showSearchText);
    connect(&m_viewModel, &MainWindowViewModel::searchModeChanged, this, &MainWindow::showSearchMode);
    connect(&m_viewModel, &MainWindowViewModel::showAdvancedOptionsChanged, m_options, &QWidget::setVisible);

    rebuildSidebar();
    applyColors();
    showSearchText(m_viewModel.searchText());
    showSearchMode();
    showStatus();
    showContent();
    refreshPlaceholder();
}

MainWindow::~MainWindow() = default;

// ---- Menus ----

void MainWindow::buildMenus()
{
    QMenu *app = menuBar()->addMenu(QStringLiteral("&Snipbrook"));
    app->addAction(QStringLiteral("About Snipbrook"), this, [this] {
        if (m_hooks.showAbout)
            m_hooks.showAbout();
    });
    app->addSeparator();
    QAction *autoStart = app->addAction(QStringLiteral("Toggle Auto-Start"), this, [this] {
        if (m_hooks.toggleAutoStart)
            m_hooks.toggleAutoStart();
    });
    autoStart->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    app->addSeparator();
    QAction *hide = app->addAction(QStringLiteral("Hide Main Window"), this, [this] {
        if (m_hooks.hideMainWindow)
            m_hooks.hideMainWindow();
        else
            this->hide();
    });
    hide->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    app->addSeparator();
    QAction *quit = app->addAction(QStringLiteral("Quit Snipbrook"), this, [this] {
        if (m_hooks.quit)
            m_hooks.quit();
    });
    quit->setShortcut(QKeySequence::Quit);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *helpAction = help->addAction(messages::helpTitle(), this, &MainWindow::showHelp);
    helpAction->setShortcuts({QKeySequence::HelpContents, QKeySequence(Qt::CTRL | Qt::Key_Question)});
}

void MainWindow::showHelp()
{
    const QString shortcut = m_hooks.shortcutText ? m_hooks.shortcutText() : QStringLiteral("the global shortcut");
    auto *box = new QMessageBox(QMessageBox::Information, messages::helpTitle(), messages::helpTitle(),
                                QMessageBox::Ok, this);
    box->setInformativeText(messages::helpText(shortcut));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- Sidebar ----

QWidget *MainWindow::buildSidebar()
{
    auto *sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(200);
    sidebar->setMaximumWidth(260);
    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(8, 12, 8, 8);
    column->setSpacing(6);
    QLabel *title = label(MainWindowViewModel::title(), sidebar, 13, QFont::Bold, false);
    title->setContentsMargins(8, 0, 0, 4);
    column->addWidget(title);

    m_categories = new QTreeWidget(sidebar);
    m_categories->setAccessibleName(QStringLiteral("Categories"));
    m_categories->setHeaderHidden(true);
    m_categories->setRootIsDecorated(false);
    m_categories->setIndentation(0);
    m_categories->setFrameShape(QFrame::NoFrame);
    m_categories->setIconSize(QSize(18, 18));
    m_categories->setSelectionMode(QAbstractItemView::SingleSelection);
    m_categories->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_categories->viewport()->setAutoFillBackground(false);
    connect(m_categories, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (m_rebuildingSidebar || !item)
            return;
        const QString name = item->data(0, Qt::UserRole).toString();
        if (!name.isEmpty())
            m_viewModel.setSelectedCategory(name);
    });
    column->addWidget(m_categories, 1);

    auto *divider = new PanelDivider(sidebar);
    column->addWidget(divider);
    auto *settings = new QPushButton(QStringLiteral("Settings"), sidebar);
    settings->setObjectName(QStringLiteral("settingsButton"));
    settings->setAccessibleName(QStringLiteral("Settings"));
    settings->setFlat(true);
    settings->setIconSize(QSize(20, 20));
    QFont font = settings->font();
    font.setPointSize(11);
    settings->setFont(font);
    settings->setStyleSheet(QStringLiteral("text-align: left; padding: 4px 8px;"));
    connect(settings, &QPushButton::clicked, this, [this] {
        if (m_hooks.openSettings)
            m_hooks.openSettings();
    });
    column->addWidget(settings);
    return sidebar;
}

void MainWindow::rebuildSidebar()
{
    m_rebuildingSidebar = true;
    m_categories->clear();
    const QColor tint = m_viewModel.categoryTint();
    const QPalette palette = this->palette();
    QTreeWidgetItem *selected = nullptr;
    for (const SidebarSection &section : m_viewModel.sidebarSections()) {
        auto *header = new QTreeWidgetItem(m_categories, {section.title});
        header->setFlags(Qt::ItemIsEnabled);
        QFont font = m_categories->font();
        font.setPointSizeF(captionPoints);
        header->setFont(0, font);
        header->setForeground(0, secondaryColor(palette));
        header->setData(0, Qt::AccessibleTextRole, section.title);
        if (section.isPaletteChooser) {
            auto *holder = new QTreeWidgetItem(m_categories);
            holder->setFlags(Qt::ItemIsEnabled);
            auto *chooser = new QWidget;
            chooser->setAccessibleName(QStringLiteral("Color Palettes"));
            auto *grid = new QGridLayout(chooser);
            grid->setContentsMargins(4, 2, 4, 2);
            grid->setHorizontalSpacing(6);
            grid->setVerticalSpacing(4);
            int index = 0;
            const QUuid chosen = m_viewModel.selectedPaletteId();
            for (const ColorPalette &palette : m_viewModel.palettes()) {
                auto *button = new PaletteButton(palette.displayName, colorForName(palette.primaryColor),
                                                 colorForName(palette.accentColor), chooser);
                button->setChecked(palette.id == chosen);
                button->setToolTip(palette.description);
                const QUuid id = palette.id;
                connect(button, &QAbstractButton::clicked, this, [this, id] { m_viewModel.selectPalette(id); });
                grid->addWidget(button, index / 2, index % 2);
                ++index;
            }
            // Two columns of one width, whatever the names.
            grid->setColumnStretch(0, 1);
            grid->setColumnStretch(1, 1);
            m_categories->setItemWidget(holder, 0, chooser);
            continue;
        }
        for (const Category &category : section.categories) {
            auto *row = new QTreeWidgetItem(header, {category.name});
            row->setIcon(0, QIcon(symbolPixmap(category.icon, tint, 18, devicePixelRatioF())));
            row->setData(0, Qt::UserRole, category.name);
            row->setData(0, Qt::AccessibleTextRole, category.name);
            QFont font = m_categories->font();
            font.setPointSize(11);
            row->setFont(0, font);
            if (category.name == m_viewModel.selectedCategory() && !selected)
                selected = row;
        }
    }
    m_categories->expandAll();
    if (selected)
        m_categories->setCurrentItem(selected);
    m_rebuildingSidebar = false;
}

// ---- Main area ----

QWidget *MainWindow::buildMainArea()
{
    auto *area = new QWidget(this);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(8, 8, 8, 0);
    column->setSpacing(8);

    auto *header = new QHBoxLayout;
    m_areaTitle = label(QString(), area, 13, QFont::DemiBold, false);
    m_areaTitle->setObjectName(QStringLiteral("areaTitle"));
    header->addWidget(m_areaTitle, 1);
    QToolButton *more = plainButton(QStringLiteral("More Actions"), area);
    more->setObjectName(QStringLiteral("moreActions"));
    more->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(more);
    menu->addAction(QStringLiteral("Remove Duplicates"), this, [this] { m_viewModel.removeDuplicates(); });
    menu->addAction(QStringLiteral("Clear History"), this, [this] { m_viewModel.clearHistory(); });
    more->setMenu(menu);
    header->addWidget(more);
    column->addLayout(header);

    column->addWidget(buildSearchBar());
    column->addWidget(buildOptionsPanel());
    column->addWidget(buildStatusRow());

    m_content = new QStackedWidget(area);
    m_content->installEventFilter(this);
    m_searchingPage = buildSearchingView();
    m_content->addWidget(m_searchingPage);

    m_placeholder = new QListView(m_content);
    m_placeholder->setAccessibleName(QStringLiteral("Clipboard Items"));
    m_placeholder->setFrameShape(QFrame::NoFrame);
    m_placeholder->setUniformItemSizes(true);
    m_placeholderModel = new QStringListModel(m_placeholder);
    m_placeholder->setModel(m_placeholderModel);
    m_gridPage = m_placeholder;
    m_content->addWidget(m_gridPage);

    m_emptyPage = buildEmptyView();
    m_content->addWidget(m_emptyPage);
    m_noResultsPage = buildNoResultsView();
    m_content->addWidget(m_noResultsPage);
    column->addWidget(m_content, 1);
    return area;
}

QWidget *MainWindow::buildSearchBar()
{
    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("searchBar"));
    bar->setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 4, 8, 4);
    row->setSpacing(6);
    auto *icon = new QLabel(bar);
    icon->setObjectName(QStringLiteral("searchIcon"));
    row->addWidget(icon);
    m_search = new QLineEdit(bar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setAccessibleName(QStringLiteral("Search"));
    m_search->setPlaceholderText(MainWindowViewModel::searchPlaceholder());
    m_search->setFrame(false);
    QFont font = m_search->font();
    font.setPointSize(11);
    m_search->setFont(font);
    connect(m_search, &QLineEdit::textEdited, &m_viewModel, &MainWindowViewModel::setSearchText);
    connect(m_search, &QLineEdit::returnPressed, &m_viewModel, &MainWindowViewModel::submitSearch);
    row->addWidget(m_search, 1);
    m_clear = plainButton(QStringLiteral("Clear Search"), bar);
    m_clear->setObjectName(QStringLiteral("clearSearch"));
    connect(m_clear, &QToolButton::clicked, &m_viewModel, &MainWindowViewModel::clearSearch);
    row->addWidget(m_clear);
    m_optionsToggle = plainButton(QStringLiteral("Search Options"), bar);
    m_optionsToggle->setObjectName(QStringLiteral("searchOptionsToggle"));
    connect(m_optionsToggle, &QToolButton::clicked, &m_viewModel, &MainWindowViewModel::toggleAdvancedOptions);
    row->addWidget(m_optionsToggle);
    return bar;
}

QWidget *MainWindow::buildOptionsPanel()
{
    m_options = new QWidget(this);
    m_options->setObjectName(QStringLiteral("searchOptions"));
    m_options->setAccessibleName(QStringLiteral("Search Options"));
    auto *column = new QVBoxLayout(m_options);
    column->setContentsMargins(4, 0, 4, 0);
    column->setSpacing(4);
    column->addWidget(label(QStringLiteral("Search Options"), m_options, captionPoints, QFont::Medium));
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(label(QStringLiteral("Mode:"), m_options, captionPoints));
    auto *picker = new QWidget(m_options);
    picker->setAccessibleName(QStringLiteral("Search Mode"));
    picker->setFixedWidth(140);
    auto *pickerRow = new QHBoxLayout(picker);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    pickerRow->setSpacing(0);
    m_modes = new QButtonGroup(picker);
    const QStringList names{QStringLiteral("Keyword"), QStringLiteral("Semantic")};
    for (int i = 0; i < names.size(); ++i) {
        auto *button = new QToolButton(picker);
        button->setText(names[i]);
        button->setAccessibleName(names[i] + QStringLiteral(" Search"));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_modes->addButton(button, i);
        pickerRow->addWidget(button);
    }
    connect(m_modes, &QButtonGroup::idClicked, this, [this](int id) { m_viewModel.setSemanticSearchEnabled(id == 1); });
    modeRow->addWidget(picker);
    modeRow->addStretch();
    column->addLayout(modeRow);
    auto *helpRow = new QHBoxLayout;
    auto *brain = new QLabel(m_options);
    brain->setObjectName(QStringLiteral("brainIcon"));
    helpRow->addWidget(brain);
    helpRow->addWidget(label(QStringLiteral("Natural Language Search"), m_options, captionPoints));
    helpRow->addStretch();
    column->addLayout(helpRow);
    for (const QString &line : MainWindowViewModel::searchHelpLines())
        column->addWidget(label(line, m_options, captionPoints));
    m_options->setVisible(m_viewModel.showAdvancedOptions());
    return m_options;
}

QWidget *MainWindow::buildStatusRow()
{
    m_statusRow = new QWidget(this);
    m_statusRow->setObjectName(QStringLiteral("statusRow"));
    auto *row = new QHBoxLayout(m_statusRow);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    m_statusSpinner = new PanelSpinner(12, m_statusRow);
    row->addWidget(m_statusSpinner);
    m_statusCheck = new QLabel(m_statusRow);
    row->addWidget(m_statusCheck);
    m_statusText = label(QString(), m_statusRow, captionPoints);
    m_statusText->setObjectName(QStringLiteral("statusText"));
    row->addWidget(m_statusText);
    m_statusAI = label(QStringLiteral("(AI)"), m_statusRow, caption2Points);
    row->addWidget(m_statusAI);
    row->addSpacing(8);
    m_matchLabel = label(QStringLiteral("Match:"), m_statusRow, caption2Points);
    row->addWidget(m_matchLabel);
    m_matchValue = label(QString(), m_statusRow, caption2Points, QFont::Medium, false);
    m_matchValue->setObjectName(QStringLiteral("matchValue"));
    row->addWidget(m_matchValue);
    row->addStretch();
    return m_statusRow;
}

QWidget *MainWindow::buildSearchingView()
{
    auto *page = new QWidget(this);
    auto *column = new QVBoxLayout(page);
    column->addStretch();
    auto *spinner = new PanelSpinner(24, page);
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    column->addWidget(label(QStringLiteral("Searching..."), page, 11), 0, Qt::AlignHCenter);
    column->addStretch();
    return page;
}

QWidget *MainWindow::buildEmptyView()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("emptyView"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(16, 16, 16, 16);
    column->addStretch();
    auto *icon = new QLabel(page);
    icon->setObjectName(QStringLiteral("emptyIcon"));
    column->addWidget(icon, 0, Qt::AlignHCenter);
    m_emptyTitle = label(QString(), page, title2Points, QFont::Medium);
    m_emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    column->addWidget(m_emptyTitle, 0, Qt::AlignHCenter);
    QLabel *hint = label(QStringLiteral("Copy something to get started"), page, 11);
    hint->setProperty("snipbrookFaint", true);
    column->addWidget(hint, 0, Qt::AlignHCenter);
    column->addStretch();
    return page;
}

QWidget *MainWindow::buildNoResultsView()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("noResultsView"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(16, 16, 16, 16);
    column->addStretch();
    auto *icon = new QLabel(page);
    icon->setObjectName(QStringLiteral("noResultsIcon"));
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(label(QStringLiteral("No results found"), page, title2Points, QFont::Medium), 0, Qt::AlignHCenter);
    m_noResultsMessage = label(QString(), page, 11);
    m_noResultsMessage->setObjectName(QStringLiteral("noResultsMessage"));
    m_noResultsMessage->setProperty("snipbrookFaint", true);
    m_noResultsMessage->setTextFormat(Qt::PlainText);
    column->addWidget(m_noResultsMessage, 0, Qt::AlignHCenter);
    column->addSpacing(8);
    auto *tips = new QVBoxLayout;
    tips->setSpacing(4);
    tips->addWidget(label(QStringLiteral("Try:"), page, captionPoints, QFont::Medium));
    for (const QString &hint : MainWindowViewModel::noResultsHints()) {
        QLabel *line = label(hint, page, captionPoints);
        line->setProperty("snipbrookFaint", true);
        tips->addWidget(line);
    }
    auto *centred = new QHBoxLayout;
    centred->addStretch();
    centred->addLayout(tips);
    centred->addStretch();
    column->addLayout(centred);
    column->addStretch();
    return page;
}

void MainWindow::setGridView(QWidget *grid)
{
    if (!grid || grid == m_gridPage)
        return;
    const int index = m_content->indexOf(m_gridPage);
    const bool current = m_content->currentWidget() == m_gridPage;
    m_content->removeWidget(m_gridPage);
    m_gridPage->deleteLater();
    m_placeholder = nullptr;
    m_placeholderModel = nullptr;
    m_gridPage = grid;
    m_content->insertWidget(index, grid);
    if (current)
        m_content->setCurrentWidget(grid);
}

void MainWindow::showContent()
{
    using Content = MainWindowViewModel::Content;
    QWidget *page = m_gridPage;
    switch (m_viewModel.content()) {
    case Content::searching: page = m_searchingPage; break;
    case Content::results:
    case Content::category: page = m_gridPage; break;
    case Content::noResults: page = m_noResultsPage; break;
    case Content::empty: page = m_emptyPage; break;
    }
    m_emptyTitle->setText(m_viewModel.emptyTitle());
    m_emptyTitle->setAccessibleName(m_viewModel.emptyTitle());
    m_noResultsMessage->setText(m_viewModel.noResultsMessage());
    m_noResultsMessage->setAccessibleName(m_viewModel.noResultsMessage());
    m_areaTitle->setText(m_viewModel.areaTitle());
    m_areaTitle->setAccessibleName(m_viewModel.areaTitle());
    m_content->setCurrentWidget(page);
}

void MainWindow::showStatus()
{
    const bool visible = m_viewModel.isStatusRowVisible();
    m_statusRow->setVisible(visible);
    if (!visible)
        return;
    const bool searching = m_viewModel.isSearching();
    m_statusSpinner->setVisible(searching);
    m_statusCheck->setVisible(!searching);
    m_statusAI->setVisible(!searching);
    m_statusText->setText(m_viewModel.statusText());
    m_statusText->setAccessibleName(m_viewModel.statusText());
    const std::optional<QString> match = m_viewModel.matchText();
    m_matchLabel->setVisible(match.has_value());
    m_matchValue->setVisible(match.has_value());
    if (match) {
        m_matchValue->setText(*match);
        m_matchValue->setAccessibleName(QStringLiteral("Match ") + *match);
        QPalette palette = m_matchValue->palette();
        palette.setColor(QPalette::WindowText, MainWindowViewModel::matchColor(*m_viewModel.matchStrength()));
        m_matchValue->setPalette(palette);
    }
}

void MainWindow::showSearchText(const QString &text)
{
    if (m_search->text() != text)
        m_search->setText(text);
    m_clear->setVisible(!text.isEmpty());
}

void MainWindow::showSearchMode()
{
    if (QAbstractButton *button = m_modes->button(m_viewModel.isSemanticSearchEnabled() ? 1 : 0))
        button->setChecked(true);
}

void MainWindow::refreshPlaceholder()
{
    if (!m_placeholderModel)
        return;
    QStringList lines;
    lines.reserve(m_viewModel.displayedItems().size());
    for (const ClipboardItem &item : m_viewModel.displayedItems())
        lines.append(item.type == ClipboardItemType::image ? QStringLiteral("Image")
                                                          : item.content.left(200).simplified());
    m_placeholderModel->setStringList(lines);
}

void MainWindow::applyColors()
{
    const QPalette palette = this->palette();
    const QColor secondary = secondaryColor(palette);
    QColor faint = secondary;
    faint.setAlphaF(0.8);
    for (QLabel *each : findChildren<QLabel *>()) {
        if (!each->property(secondaryProperty).toBool())
            continue;
        QPalette own = each->palette();
        own.setColor(QPalette::WindowText, each->property("snipbrookFaint").toBool() ? faint : secondary);
        each->setPalette(own);
    }
    if (auto *icon = findChild<QLabel *>(QStringLiteral("searchIcon")))
        icon->setPixmap(symbolPixmap(QStringLiteral("magnifyingglass"), secondary, 16, devicePixelRatioF()));
    if (auto *icon = findChild<QLabel *>(QStringLiteral("brainIcon")))
        icon->setPixmap(symbolPixmap(QStringLiteral("brain"), secondary, 12, devicePixelRatioF()));
    if (auto *icon = findChild<QLabel *>(QStringLiteral("emptyIcon")))
        icon->setPixmap(symbolPixmap(QStringLiteral("doc.on.clipboard"), secondary, 48, devicePixelRatioF()));
    if (auto *icon = findChild<QLabel *>(QStringLiteral("noResultsIcon")))
        icon->setPixmap(symbolPixmap(QStringLiteral("magnifyingglass"), secondary, 48, devicePixelRatioF()));
    m_statusCheck->setPixmap(symbolPixmap(QStringLiteral("checkmark.circle.fill"), colorForName(QStringLiteral("green")),
                                          12, devicePixelRatioF()));
    m_clear->setIcon(symbolIcon(QStringLiteral("xmark.circle.fill"), secondary, 14));
    m_optionsToggle->setIcon(symbolIcon(QStringLiteral("slider.horizontal.3"), secondary, 16));
    if (auto *more = findChild<QToolButton *>(QStringLiteral("moreActions")))
        more->setIcon(symbolIcon(QStringLiteral("ellipsis.circle"), palette.color(QPalette::WindowText), 18));
    if (auto *settings = findChild<QPushButton *>(QStringLiteral("settingsButton")))
        settings->setIcon(symbolIcon(QStringLiteral("gearshape"), secondary, 20));
}

// ---- Events ----

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_hooks.isTrayPresent && m_hooks.isTrayPresent()) {
        // The tray brings it back: closing only puts it away.
        event->ignore();
        if (m_hooks.hideMainWindow)
            m_hooks.hideMainWindow();
        else
            hide();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::setTranslucentSurface(bool translucent)
{
    m_translucent = translucent;
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    update();
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    if (m_translucent) {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        QColor material = palette().color(QPalette::Window);
        material.setAlphaF(GlassPanelStyle{}.materialOpacity);
        painter.fillRect(rect(), material);
    }
    QMainWindow::paintEvent(event);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        // Opened to find something: typing goes straight into the search.
        m_search->setFocus(Qt::ActiveWindowFocusReason);
        emit visibilityChanged(true);
    }
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())
        emit visibilityChanged(false);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_categories) {
        applyColors();
        rebuildSidebar();
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::Resize)
        m_viewModel.setAreaWidth(m_content->width());
    return QMainWindow::eventFilter(watched, event);
}

} // namespace snipbrook
