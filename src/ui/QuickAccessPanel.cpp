#include "QuickAccessPanel.h"

#include "PanelParts.h"
#include "PanelPlacement.h"
#include "SymbolIcons.h"
#include "QuickAccessListModel.h"
#include "QuickAccessRowDelegate.h"
#include "QuickAccessViewModel.h"

#include "config/ColorNames.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace snipbrook {
namespace {

constexpr int headerHeight = 44;
constexpr int searchBarHeight = 40;
constexpr int sideMargin = 14;

QToolButton *plainButton(QWidget *parent, const QString &toolTip)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus); // keys stay with the list or the search field
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    return button;
}

QColor secondaryColor(const QPalette &palette) { return palette.color(QPalette::PlaceholderText); }

Qt::WindowFlags panelWindowFlags(const QuickAccessPanel::Options &options)
{
    if (options.standaloneWindow)
        return Qt::Window | Qt::FramelessWindowHint;
    return Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;
}

} // namespace

QuickAccessPanel::QuickAccessPanel(QuickAccessViewModel &viewModel, Options options, QWidget *parent)
    : QWidget(parent, panelWindowFlags(options)), m_viewModel(viewModel), m_standalone(options.standaloneWindow)
{
    m_style.translucent = options.translucent;
    setAttribute(Qt::WA_TranslucentBackground, options.translucent);
    setAccessibleName(QuickAccessViewModel::title());
    setFixedSize(contentSize + QSize(2 * margin, 2 * margin));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin + 4);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(new PanelDivider(this));
    layout->addWidget(buildSearchBar());
    layout->addWidget(new PanelDivider(this));

    m_model = new QuickAccessListModel(m_viewModel, this);
    m_delegate = new QuickAccessRowDelegate(this);
    m_delegate->setContentSource([viewModel = &m_viewModel](const ClipboardItem &item) { return viewModel->withContent(item); });
    m_list = new QListView(this);
    m_list->setAccessibleName(QStringLiteral("Clipboard history"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the wheel and the highlight scroll
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAttribute(Qt::WA_Hover);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->installEventFilter(this);

    m_empty = new QLabel(this);
    m_empty->setAlignment(Qt::AlignCenter);
    auto *listArea = new QVBoxLayout;
    listArea->setContentsMargins(0, 6, 0, 0);
    listArea->addWidget(m_list);
    listArea->addWidget(m_empty);
    layout->addLayout(listArea, 1);

    buildContextMenu();

    connect(m_delegate, &QuickAccessRowDelegate::thumbnailReady, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(m_delegate, &QuickAccessRowDelegate::rowClicked, &m_viewModel, &QuickAccessViewModel::activateRow);
    connect(m_delegate, &QuickAccessRowDelegate::pasteClicked, &m_viewModel, &QuickAccessViewModel::pasteRow);
    connect(m_delegate, &QuickAccessRowDelegate::deleteClicked, &m_viewModel, &QuickAccessViewModel::deleteRow);
    connect(m_list, &QListView::customContextMenuRequested, this, &QuickAccessPanel::showContextMenu);

    connect(&m_viewModel, &QuickAccessViewModel::displayedItemsChanged, this, &QuickAccessPanel::updateEmptyState);
    connect(&m_viewModel, &QuickAccessViewModel::selectedIndexChanged, this, [this](int row) {
        if (row >= 0 && row < m_model->rowCount())
            m_list->scrollTo(m_model->index(row));
    });
    connect(&m_viewModel, &QuickAccessViewModel::searchTextChanged, this, [this](const QString &text) {
        if (m_search->text() != text)
            m_search->setText(text);
        updateSearchBar();
    });
    connect(&m_viewModel, &QuickAccessViewModel::searchModeChanged, this, &QuickAccessPanel::updateSearchBar);
    connect(&m_viewModel, &QuickAccessViewModel::showSearchingIndicatorChanged, this, &QuickAccessPanel::updateSearchBar);
    connect(&m_viewModel, &QuickAccessViewModel::searchFocusRequested, this, [this] { m_search->setFocus(); });
    connect(&m_viewModel, &QuickAccessViewModel::closeRequested, this, &QWidget::hide);

    updateColors();
    updateSearchBar();
    updateEmptyState();
    // The native window now rather than at the first showing, which must be quick.
    winId();
}

QuickAccessPanel::~QuickAccessPanel() = default;

QWidget *QuickAccessPanel::buildHeader()
{
    auto *header = new QWidget(this);
    header->setFixedHeight(headerHeight);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(sideMargin, 0, sideMargin - 6, 0);
    row->setSpacing(8);

    m_headerIcon = new QLabel(header);
    m_headerIcon->setFixedSize(18, 18);
    auto *title = new QLabel(QuickAccessViewModel::title(), header);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(11.5);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    m_openMainWindow = plainButton(header, QuickAccessViewModel::openMainWindowToolTip());
    m_openMainWindow->setIconSize(QSize(16, 16));
    connect(m_openMainWindow, &QToolButton::clicked, &m_viewModel, &QuickAccessViewModel::openMainWindow);

    row->addWidget(m_headerIcon);
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(m_openMainWindow);
    return header;
}

QWidget *QuickAccessPanel::buildSearchBar()
{
    auto *bar = new QWidget(this);
    bar->setFixedHeight(searchBarHeight);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(sideMargin, 0, sideMargin - 6, 0);
    row->setSpacing(6);

    m_searchIcon = new QLabel(bar);
    m_searchIcon->setFixedSize(16, 16);
    m_spinner = new PanelSpinner(14, bar); // 85 % of the icon
    m_spinner->hide();
    m_search = new QLineEdit(bar);
    m_search->setFrame(false);
    m_search->setPlaceholderText(QuickAccessViewModel::searchPlaceholder());
    m_search->setAccessibleName(QStringLiteral("Search clipboard history"));
    m_search->setClearButtonEnabled(false);
    m_search->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textEdited, &m_viewModel, &QuickAccessViewModel::setSearchText);

    m_mode = plainButton(bar, {});
    m_mode->setIconSize(QSize(14, 14));
    connect(m_mode, &QToolButton::clicked, &m_viewModel, &QuickAccessViewModel::toggleSearchMode);
    m_clear = plainButton(bar, QuickAccessViewModel::clearSearchToolTip());
    m_clear->setIconSize(QSize(14, 14));
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_viewModel.clearSearchText();
        m_search->setFocus();
    });

    row->addWidget(m_searchIcon);
    row->addWidget(m_spinner);
    row->addWidget(m_search, 1);
    row->addWidget(m_clear);
    row->addWidget(m_mode);
    return bar;
}

void QuickAccessPanel::buildContextMenu()
{
    m_menu = new QMenu(this);
    QAction *copy = m_menu->addAction(QStringLiteral("Copy"));
    QAction *paste = m_menu->addAction(QStringLiteral("Paste"));
    m_menu->addSeparator();
    QAction *remove = m_menu->addAction(QStringLiteral("Delete"));
    copy->setObjectName(QStringLiteral("doc.on.doc"));
    paste->setObjectName(QStringLiteral("arrow.down.doc"));
    remove->setObjectName(QStringLiteral("trash"));
    connect(copy, &QAction::triggered, this, [this] { m_viewModel.activateRow(m_menuRow); });
    connect(paste, &QAction::triggered, this, [this] { m_viewModel.pasteRow(m_menuRow); });
    connect(remove, &QAction::triggered, this, [this] { m_viewModel.deleteRow(m_menuRow); });
}

void QuickAccessPanel::showContextMenu(const QPoint &pos)
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return;
    m_menuRow = index.row();
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void QuickAccessPanel::updateColors()
{
    const QPalette &colors = palette();
    const QColor secondary = secondaryColor(colors);
    m_headerIcon->setPixmap(symbolPixmap(QStringLiteral("doc.on.clipboard"), colors.color(QPalette::Highlight), 18,
                                         devicePixelRatioF()));
    m_openMainWindow->setIcon(symbolIcon(QStringLiteral("arrow.up.right.square"), secondary, 16));
    m_clear->setIcon(symbolIcon(QStringLiteral("xmark.circle.fill"), secondary, 14));
    for (QAction *action : m_menu->actions()) {
        if (!action->isSeparator())
            action->setIcon(symbolIcon(action->objectName(), action->objectName() == QLatin1String("trash")
                                                                 ? colorForName(QStringLiteral("red"))
                                                                 : colors.color(QPalette::WindowText)));
    }
    QPalette emptyPalette = m_empty->palette();
    emptyPalette.setColor(QPalette::WindowText, secondary);
    m_empty->setPalette(emptyPalette);
    QPalette fieldPalette = m_search->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    m_search->setPalette(fieldPalette);
    updateSearchBar();
}

void QuickAccessPanel::updateSearchBar()
{
    const bool semantic = m_viewModel.isSemanticSearchEnabled();
    const QColor tint = semantic ? colorForName(QStringLiteral("purple")) : secondaryColor(palette());
    const bool spinning = m_viewModel.showSearchingIndicator();
    m_spinner->setVisible(spinning);
    m_searchIcon->setVisible(!spinning);
    m_searchIcon->setPixmap(symbolPixmap(m_viewModel.searchSymbol(), tint, 16, devicePixelRatioF()));
    m_mode->setIcon(symbolIcon(m_viewModel.searchModeSymbol(), tint, 14));
    m_mode->setToolTip(m_viewModel.searchModeToolTip());
    m_mode->setAccessibleName(m_viewModel.searchModeToolTip());
    m_clear->setVisible(!m_viewModel.searchText().isEmpty());
}

void QuickAccessPanel::updateEmptyState()
{
    const QString text = m_viewModel.emptyText();
    m_empty->setText(text);
    m_empty->setAccessibleName(text);
    const bool empty = m_viewModel.displayedItems().isEmpty();
    m_empty->setVisible(empty && !text.isEmpty());
    m_list->setVisible(!empty);
}

void QuickAccessPanel::showAt(const std::optional<QRect> &anchor, QPoint pointer)
{
    m_viewModel.reset();
    m_search->setText(m_viewModel.searchText());
    m_list->scrollToTop();
    QScreen *screen = QGuiApplication::screenAt(anchor ? anchor->center() : pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        move(panelPosition(size(), margin, anchor, pointer, screen->availableGeometry()));
    show();
    raise();
    if (m_standalone)
        activateWindow();
    m_list->setFocus();
}

void QuickAccessPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF shape = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    if (m_style.translucent)
        paintPanelShadow(painter, shape, m_style, margin);
    paintGlassPanel(painter, shape, palette(), m_style);
}

void QuickAccessPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_style.translucent) {
        // Without a compositor the corners would show black: cut them off.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(margin, margin, -margin, -margin), m_style.cornerRadius,
                             m_style.cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

void QuickAccessPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void QuickAccessPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_menu->hide();
    m_viewModel.hidden();
    emit visibilityChanged(false);
}

void QuickAccessPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_menu)
        updateColors();
    // As a popup closes on a click elsewhere, the standalone panel closes when another window
    // takes the focus; its own context menu does not count.
    if (event->type() == QEvent::ActivationChange && m_standalone && isVisible() && !isActiveWindow() &&
        !QApplication::activePopupWidget())
        hide();
}

bool QuickAccessPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_viewModel.setSearchFocused(event->type() == QEvent::FocusIn);
    if (event->type() == QEvent::KeyPress && (watched == m_search || watched == m_list)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_viewModel.setSearchFocused(m_search->hasFocus());
        return m_viewModel.handleKey(key->key(), key->modifiers(), key->text()) ==
               QuickAccessViewModel::KeyResult::handled;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace snipbrook
