#include "SettingsWindow.h"

#include "HotkeyRecorderField.h"
#include "PanelParts.h"
#include "SymbolIcons.h"
#include "ToggleSwitch.h"
#include "system/HotkeyRecorder.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace snipbrook {
namespace {

// Widgets drawn in a palette-derived colour carry the role, so a palette change recolours them.
constexpr const char *colorRoleProperty = "snipbrookColor";
constexpr const char *symbolProperty = "snipbrookSymbol";
constexpr const char *symbolSizeProperty = "snipbrookSymbolSize";

const QColor updateGreen(0x34, 0xa8, 0x53);
const QColor destructiveRed(0xe0, 0x3e, 0x3e);

QColor roleColor(const QPalette &palette, const QString &role)
{
    if (role == QLatin1StringView("accent"))
        return palette.color(QPalette::Highlight);
    if (role == QLatin1StringView("secondary"))
        return palette.color(QPalette::PlaceholderText);
    if (role == QLatin1StringView("green"))
        return updateGreen;
    if (role == QLatin1StringView("red"))
        return destructiveRed;
    return palette.color(QPalette::WindowText);
}

bool isDark(const QPalette &palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

// The section panels' fill: the ultra-thin material over the window surface, lighter than the
// window in both schemes (white at 70 % over a light window, at 6 % over a dark one).
QColor sectionColor(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    const qreal amount = isDark(palette) ? 0.06 : 0.7;
    return QColor::fromRgbF(float(window.redF() + (1 - window.redF()) * amount),
                            float(window.greenF() + (1 - window.greenF()) * amount),
                            float(window.blueF() + (1 - window.blueF()) * amount));
}

QFont scaledFont(const QFont &base, qreal delta, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(qMax(6.0, base.pointSizeF() + delta));
    font.setWeight(weight);
    return font;
}

QLabel *textLabel(const QString &text, QWidget *parent, qreal delta = 0, QFont::Weight weight = QFont::Normal,
                  const char *role = nullptr)
{
    auto *label = new QLabel(text, parent);
    label->setFont(scaledFont(label->font(), delta, weight));
    label->setAccessibleName(text);
    if (role)
        label->setProperty(colorRoleProperty, QString::fromLatin1(role));
    return label;
}

QLabel *symbolLabel(const QString &symbol, int size, const char *role, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setProperty(symbolProperty, symbol);
    label->setProperty(symbolSizeProperty, size);
    label->setProperty(colorRoleProperty, QString::fromLatin1(role));
    return label;
}

QToolButton *symbolButton(const QString &symbol, const QString &toolTip, const char *role, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(16, 16));
    button->setProperty(symbolProperty, symbol);
    button->setProperty(symbolSizeProperty, 16);
    button->setProperty(colorRoleProperty, QString::fromLatin1(role));
    return button;
}

// A rounded panel with a header (symbol in the accent colour, title in the headline font) above
// its rows.
class SectionPanel : public QWidget {
public:
    SectionPanel(const QString &symbol, const QString &title, QWidget *parent) : QWidget(parent)
    {
        setAccessibleName(title);
        auto *column = new QVBoxLayout(this);
        column->setContentsMargins(18, 14, 18, 16);
        column->setSpacing(12);
        auto *header = new QHBoxLayout;
        header->setSpacing(8);
        header->addWidget(symbolLabel(symbol, 16, "accent", this));
        header->addWidget(textLabel(title, this, 1.5, QFont::DemiBold));
        header->addStretch(1);
        column->addLayout(header);
        m_rows = column;
    }

    QVBoxLayout *rows() const { return m_rows; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor border = palette().color(QPalette::WindowText);
        border.setAlphaF(isDark(palette()) ? 0.10f : 0.08f);
        painter.setPen(QPen(border, 1));
        painter.setBrush(sectionColor(palette()));
        painter.drawRoundedRect(shape, 12, 12);
    }

private:
    QVBoxLayout *m_rows;
};

// A title with its subtitle in the 160-wide label column, then the control.
QHBoxLayout *settingsRow(QVBoxLayout *rows, const QString &title, const QString &subtitle, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(16);
    auto *labels = new QWidget(parent);
    labels->setFixedWidth(SettingsWindow::labelColumnWidth);
    auto *column = new QVBoxLayout(labels);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(textLabel(title, labels));
    if (!subtitle.isEmpty()) {
        QLabel *caption = textLabel(subtitle, labels, -1.5, QFont::Normal, "secondary");
        caption->setWordWrap(true);
        column->addWidget(caption);
    }
    row->addWidget(labels, 0, Qt::AlignVCenter);
    rows->addLayout(row);
    return row;
}

void clearLayout(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            delete widget;
        else if (QLayout *inner = item->layout())
            clearLayout(inner);
        delete item;
    }
}

} // namespace

SettingsWindow::SettingsWindow(SettingsViewModel &viewModel, Options options, QWidget *parent)
    : QWidget(parent, Qt::Window), m_viewModel(viewModel), m_options(std::move(options))
{
    setWindowTitle(QStringLiteral("Snipbrook Settings"));
    setWindowRole(QStringLiteral("settings"));
    setObjectName(QStringLiteral("settingsWindow"));
    setAccessibleName(QStringLiteral("Settings"));
    setMinimumSize(560, 420);
    resize(defaultSize);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // Tiling compositors give a window less than its minimum width: scroll rather than cut the
    // rows off out of reach.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->viewport()->setAutoFillBackground(false);
    auto *canvas = new QWidget;
    canvas->setAutoFillBackground(false);
    auto *centring = new QHBoxLayout(canvas);
    centring->setContentsMargins(20, 4, 20, 20);
    auto *content = new QWidget(canvas);
    content->setObjectName(QStringLiteral("settingsContent"));
    content->setMaximumWidth(contentMaximumWidth);
    auto *sections = new QVBoxLayout(content);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(20);
    sections->addWidget(buildHotkeys());
    sections->addWidget(buildStartup());
    sections->addWidget(buildStorage());
    sections->addWidget(buildIgnoredApps());
    sections->addWidget(buildUpdates());
    sections->addStretch(1);
    centring->addStretch(0);
    centring->addWidget(content, 1);
    centring->addStretch(0);
    scroll->setWidget(canvas);
    root->addWidget(scroll, 1);

    connect(&m_viewModel, &SettingsViewModel::hotkeyChanged, this, &SettingsWindow::showHotkey);
    connect(&m_viewModel, &SettingsViewModel::startupChanged, this, &SettingsWindow::showStartup);
    connect(&m_viewModel, &SettingsViewModel::storageChanged, this, &SettingsWindow::showStorage);
    connect(&m_viewModel, &SettingsViewModel::ignoredApplicationsChanged, this, &SettingsWindow::showIgnored);
    connect(&m_viewModel, &SettingsViewModel::runningApplicationsChanged, this, &SettingsWindow::showSelection);
    connect(&m_viewModel, &SettingsViewModel::installedApplicationsChanged, this, &SettingsWindow::showSelection);
    connect(&m_viewModel, &SettingsViewModel::selectionChanged, this, &SettingsWindow::showSelection);
    connect(&m_viewModel, &SettingsViewModel::updatesChanged, this, &SettingsWindow::showUpdates);

    showHotkey();
    showStartup();
    showStorage();
    showIgnored();
    showSelection();
    showUpdates();
    applyColors();
}

SettingsWindow::~SettingsWindow()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
}

// ---- Building ----

QWidget *SettingsWindow::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("settingsHeader"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(20, 14, 14, 10);
    row->setSpacing(8);
    row->addWidget(symbolLabel(QStringLiteral("gearshape.fill"), 18, "accent", header));
    row->addWidget(textLabel(QStringLiteral("Settings"), header, 0, QFont::Bold));
    if (auto *title = row->itemAt(1)->widget()) {
        QFont font = title->font();
        font.setPointSizeF(14);
        title->setFont(font);
    }
    row->addStretch(1);
    QToolButton *close = symbolButton(QStringLiteral("xmark.circle.fill"), QStringLiteral("Close Settings (Esc)"),
                                      "secondary", header);
    close->setObjectName(QStringLiteral("closeSettings"));
    close->setIconSize(QSize(18, 18));
    close->setProperty(symbolSizeProperty, 18);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    row->addWidget(close);
    return header;
}

QWidget *SettingsWindow::buildHotkeys()
{
    auto *section = new SectionPanel(QStringLiteral("keyboard"), QStringLiteral("Hotkeys"), this);
    QHBoxLayout *recorderRow = settingsRow(section->rows(), QStringLiteral("Global Search Hotkey"),
                                           QStringLiteral("Shortcut to open clipboard search"), section);
    m_recorderField = new HotkeyRecorderField(&m_viewModel.recorder(), section);
    m_recorderField->setObjectName(QStringLiteral("hotkeyRecorder"));
    if (m_options.rejectedHotkeyAlert)
        m_recorderField->setAlert(m_options.rejectedHotkeyAlert);
    recorderRow->addWidget(m_recorderField);
    recorderRow->addSpacing(8);
    recorderRow->addWidget(textLabel(QStringLiteral("Current hotkey:"), section, -1.5, QFont::Normal, "secondary"));
    m_currentHotkey = textLabel(QString(), section, -1.5, QFont::DemiBold);
    m_currentHotkey->setObjectName(QStringLiteral("currentHotkey"));
    recorderRow->addWidget(m_currentHotkey);
    recorderRow->addStretch(1);

    QHBoxLayout *enableRow = settingsRow(section->rows(), QStringLiteral("Enable Global Hotkey"),
                                         QStringLiteral("Enable/disable global search hotkey"), section);
    m_hotkeyEnabled = new ToggleSwitch(QStringLiteral("Enable Global Hotkey"), section);
    connect(m_hotkeyEnabled, &ToggleSwitch::clicked, this, [this](bool on) { m_viewModel.setHotkeyEnabled(on); });
    enableRow->addWidget(m_hotkeyEnabled);
    enableRow->addStretch(1);

    if (!m_viewModel.desktopNotice().isEmpty()) {
        QLabel *notice = textLabel(m_viewModel.desktopNotice(), section, -1.5, QFont::Normal, "secondary");
        notice->setObjectName(QStringLiteral("desktopNotice"));
        notice->setWordWrap(true);
        // The compositor line is meant to be copied into its configuration.
        notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
        section->rows()->addWidget(notice);
    }
    return section;
}

QWidget *SettingsWindow::buildStartup()
{
    auto *section = new SectionPanel(QStringLiteral("power"), QStringLiteral("Startup"), this);
    QHBoxLayout *loginRow = settingsRow(section->rows(), QStringLiteral("Launch at login"),
                                        QStringLiteral("Start Snipbrook when you log in"), section);
    m_launchAtLogin = new ToggleSwitch(QStringLiteral("Launch at login"), section);
    m_launchAtLogin->setEnabled(m_viewModel.isLaunchAtLoginAvailable());
    connect(m_launchAtLogin, &ToggleSwitch::clicked, this, [this](bool on) { m_viewModel.setLaunchAtLogin(on); });
    loginRow->addWidget(m_launchAtLogin);
    loginRow->addStretch(1);

    QHBoxLayout *hiddenRow = settingsRow(section->rows(), QStringLiteral("Start hidden in the tray"),
                                         QStringLiteral("Hide main window on startup"), section);
    m_startHidden = new ToggleSwitch(QStringLiteral("Start hidden in the tray"), section);
    connect(m_startHidden, &ToggleSwitch::clicked, this, [this](bool on) { m_viewModel.setStartHidden(on); });
    hiddenRow->addWidget(m_startHidden);
    hiddenRow->addStretch(1);
    return section;
}

QWidget *SettingsWindow::buildStorage()
{
    auto *section = new SectionPanel(QStringLiteral("internaldrive"), QStringLiteral("Storage"), this);
    QHBoxLayout *items = settingsRow(section->rows(), QStringLiteral("Clipboard items"), QString(), section);
    m_itemCount = textLabel(QString(), section, 0, QFont::Normal, "secondary");
    m_itemCount->setObjectName(QStringLiteral("itemCount"));
    items->addWidget(m_itemCount);
    items->addStretch(1);
    QHBoxLayout *favorites = settingsRow(section->rows(), QStringLiteral("Favorites"), QString(), section);
    m_favoriteCount = textLabel(QString(), section, 0, QFont::Normal, "secondary");
    m_favoriteCount->setObjectName(QStringLiteral("favoriteCount"));
    favorites->addWidget(m_favoriteCount);
    favorites->addStretch(1);

    auto *clear = new QPushButton(QStringLiteral("Clear All History"), section);
    clear->setObjectName(QStringLiteral("clearAllHistory"));
    clear->setAccessibleName(clear->text());
    clear->setProperty(colorRoleProperty, QStringLiteral("red"));
    connect(clear, &QPushButton::clicked, this, &SettingsWindow::clearHistoryClicked);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(clear);
    buttonRow->addStretch(1);
    section->rows()->addLayout(buttonRow);
    return section;
}

QWidget *SettingsWindow::buildIgnoredApps()
{
    auto *section = new SectionPanel(QStringLiteral("nosign"), QStringLiteral("Ignored Apps"), this);
    auto *list = new QWidget(section);
    list->setObjectName(QStringLiteral("ignoredApps"));
    m_ignoredRows = new QVBoxLayout(list);
    m_ignoredRows->setContentsMargins(0, 0, 0, 4);
    m_ignoredRows->setSpacing(2);
    section->rows()->addWidget(list);
    section->rows()->addWidget(pickerRow(QStringLiteral("Add from installed apps"),
                                         QStringLiteral("Choose from installed applications"),
                                         QStringLiteral("Rescan installed applications"), m_installedPicker, true));
    section->rows()->addWidget(pickerRow(QStringLiteral("Add from running apps"),
                                         QStringLiteral("Choose an app currently running"),
                                         QStringLiteral("Refresh running apps"), m_runningPicker, false));
    return section;
}

QWidget *SettingsWindow::pickerRow(const QString &title, const QString &subtitle, const QString &reloadTip,
                                   QComboBox *&picker, bool installed)
{
    auto *holder = new QWidget(this);
    auto *rows = new QVBoxLayout(holder);
    rows->setContentsMargins(0, 0, 0, 0);
    QHBoxLayout *row = settingsRow(rows, title, subtitle, holder);
    picker = new QComboBox(holder);
    picker->setObjectName(installed ? QStringLiteral("installedPicker") : QStringLiteral("runningPicker"));
    picker->setAccessibleName(title);
    picker->setFixedWidth(pickerWidth);
    QComboBox *box = picker;
    connect(box, &QComboBox::activated, this, [this, box, installed](int index) {
        const QString id = box->itemData(index).toString();
        if (installed)
            m_viewModel.selectInstalledApplication(id);
        else
            m_viewModel.selectRunningApplication(id);
    });
    row->addWidget(picker);
    QToolButton *add = symbolButton(QStringLiteral("plus.circle.fill"), QStringLiteral("Add selected app to ignored list"),
                                    "accent", holder);
    add->setObjectName(installed ? QStringLiteral("addInstalled") : QStringLiteral("addRunning"));
    connect(add, &QToolButton::clicked, this, [this, installed] {
        if (installed)
            m_viewModel.addSelectedInstalledApplication();
        else
            m_viewModel.addSelectedRunningApplication();
    });
    row->addWidget(add);
    QToolButton *reload = symbolButton(QStringLiteral("arrow.clockwise"), reloadTip, "secondary", holder);
    reload->setObjectName(installed ? QStringLiteral("rescanInstalled") : QStringLiteral("reloadRunning"));
    connect(reload, &QToolButton::clicked, this, [this, installed] {
        if (installed)
            m_viewModel.rescanInstalledApplications();
        else
            m_viewModel.reloadRunningApplications();
    });
    row->addWidget(reload);
    row->addStretch(1);
    return holder;
}

QWidget *SettingsWindow::buildUpdates()
{
    auto *section = new SectionPanel(QStringLiteral("arrow.clockwise"), QStringLiteral("Updates"), this);
    QHBoxLayout *version = settingsRow(section->rows(), QStringLiteral("Current Version"), QString(), section);
    m_versionText = textLabel(QString(), section, 0, QFont::Normal, "secondary");
    m_versionText->setObjectName(QStringLiteral("currentVersion"));
    m_versionText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    version->addWidget(m_versionText);
    version->addStretch(1);
    m_checkButton = new QPushButton(QStringLiteral("Check for Updates"), section);
    m_checkButton->setObjectName(QStringLiteral("checkForUpdates"));
    m_checkButton->setAccessibleName(m_checkButton->text());
    connect(m_checkButton, &QPushButton::clicked, this, [this] { m_viewModel.checkForUpdates(); });
    version->addWidget(m_checkButton);
    m_checking = new PanelSpinner(16, section);
    m_checking->setObjectName(QStringLiteral("checkingForUpdates"));
    m_checking->setAccessibleName(QStringLiteral("Checking for updates"));
    version->addWidget(m_checking);

    m_notConfigured = textLabel(QStringLiteral("Update checks are not set up for this build"), section, -1.5,
                                QFont::Normal, "secondary");
    m_notConfigured->setObjectName(QStringLiteral("updatesNotConfigured"));
    m_notConfigured->setAlignment(Qt::AlignRight);
    section->rows()->addWidget(m_notConfigured);

    m_updateBox = new QWidget(section);
    m_updateBox->setObjectName(QStringLiteral("updateAvailable"));
    m_updateBox->setAttribute(Qt::WA_StyledBackground);
    m_updateBox->setStyleSheet(
        QStringLiteral("#updateAvailable { background: rgba(52, 168, 83, 30); border: 1px solid rgba(52, 168, 83, 90);"
                       " border-radius: 8px; }"));
    auto *box = new QHBoxLayout(m_updateBox);
    box->setContentsMargins(12, 10, 12, 10);
    box->setSpacing(8);
    box->addWidget(symbolLabel(QStringLiteral("arrow.up.circle.fill"), 20, "green", m_updateBox));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_updateVersion = textLabel(QString(), m_updateBox, 1, QFont::DemiBold);
    texts->addWidget(m_updateVersion);
    m_requiredUpdate = textLabel(QStringLiteral("Required Update"), m_updateBox, -1.5, QFont::Medium, "red");
    texts->addWidget(m_requiredUpdate);
    box->addLayout(texts);
    box->addStretch(1);
    auto *download = new QPushButton(QStringLiteral("Download Update"), m_updateBox);
    download->setObjectName(QStringLiteral("downloadUpdate"));
    download->setAccessibleName(download->text());
    download->setDefault(true);
    download->setStyleSheet(QStringLiteral("QPushButton { background: palette(highlight); color: palette(highlighted-text);"
                                           " border: none; border-radius: 6px; padding: 5px 14px; font-weight: 600; }"));
    connect(download, &QPushButton::clicked, this, [this] { m_viewModel.downloadUpdate(); });
    box->addWidget(download);
    section->rows()->addWidget(m_updateBox);

    m_lastChecked = textLabel(QString(), section, -1.5, QFont::Normal, "secondary");
    m_lastChecked->setObjectName(QStringLiteral("lastChecked"));
    section->rows()->addWidget(m_lastChecked);
    return section;
}

// ---- Showing the view-model ----

void SettingsWindow::showHotkey()
{
    const QString text = m_viewModel.currentHotkeyText();
    m_currentHotkey->setText(text.isEmpty() ? QStringLiteral("None") : text);
    m_currentHotkey->setAccessibleName(m_currentHotkey->text());
    m_hotkeyEnabled->setChecked(m_viewModel.isHotkeyEnabled());
}

void SettingsWindow::showStartup()
{
    m_launchAtLogin->setChecked(m_viewModel.launchAtLogin());
    m_startHidden->setChecked(m_viewModel.startHidden());
}

void SettingsWindow::showStorage()
{
    m_itemCount->setText(m_viewModel.itemCountText());
    m_itemCount->setAccessibleName(m_itemCount->text());
    m_favoriteCount->setText(m_viewModel.favoriteCountText());
    m_favoriteCount->setAccessibleName(m_favoriteCount->text());
}

void SettingsWindow::showIgnored()
{
    clearLayout(m_ignoredRows);
    QWidget *list = m_ignoredRows->parentWidget();
    const QList<IgnoredApplication> &apps = m_viewModel.ignoredApplications();
    if (apps.isEmpty()) {
        QLabel *empty = textLabel(QStringLiteral("No apps are currently ignored."), list, 0, QFont::Normal, "secondary");
        empty->setObjectName(QStringLiteral("noIgnoredApps"));
        m_ignoredRows->addWidget(empty);
    }
    const qreal ratio = devicePixelRatioF();
    for (const IgnoredApplication &app : apps) {
        auto *row = new QWidget(list);
        row->setObjectName(QStringLiteral("ignoredApp"));
        row->setProperty("bundleIdentifier", app.bundleIdentifier);
        row->setAccessibleName(app.name);
        auto *layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 2, 0, 2);
        layout->setSpacing(10);
        QLabel *icon;
        if (app.icon.isNull()) {
            icon = symbolLabel(QStringLiteral("app"), 20, "secondary", row);
        } else {
            icon = new QLabel(row);
            icon->setFixedSize(20, 20);
            QPixmap pixmap = QPixmap::fromImage(
                app.icon.scaled(QSize(20, 20) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            pixmap.setDevicePixelRatio(ratio);
            icon->setPixmap(pixmap);
        }
        icon->setAccessibleName(app.name + QStringLiteral(" icon"));
        layout->addWidget(icon);
        QLabel *name = textLabel(app.name, row);
        name->setToolTip(app.bundleIdentifier);
        layout->addWidget(name, 1);
        QToolButton *remove = symbolButton(QStringLiteral("trash"), QStringLiteral("Remove from ignored list"), "red", row);
        remove->setObjectName(QStringLiteral("removeIgnored"));
        remove->setAccessibleDescription(app.name);
        const QString id = app.bundleIdentifier;
        connect(remove, &QToolButton::clicked, this, [this, id] { m_viewModel.removeIgnoredApplication(id); });
        layout->addWidget(remove);
        m_ignoredRows->addWidget(row);
    }
    applyColors();
}

void SettingsWindow::fillPicker(QComboBox *picker, const QList<ApplicationChoice> &apps, const QString &selected)
{
    const QSignalBlocker blocker(picker);
    picker->clear();
    picker->addItem(QStringLiteral("Select app"), QString());
    for (const ApplicationChoice &app : apps)
        picker->addItem(app.name, app.bundleIdentifier);
    const int index = picker->findData(selected);
    picker->setCurrentIndex(index < 0 ? 0 : index);
}

void SettingsWindow::showSelection()
{
    fillPicker(m_installedPicker, m_viewModel.installedApplications(), m_viewModel.selectedInstalledApplication());
    fillPicker(m_runningPicker, m_viewModel.runningApplications(), m_viewModel.selectedRunningApplication());
}

void SettingsWindow::showUpdates()
{
    m_versionText->setText(m_viewModel.currentVersionText());
    m_versionText->setAccessibleName(m_versionText->text());
    const bool configured = m_viewModel.areUpdatesConfigured();
    const bool checking = m_viewModel.isCheckingForUpdates();
    m_checkButton->setEnabled(configured);
    m_checkButton->setVisible(!checking);
    m_checking->setVisible(checking);
    m_notConfigured->setVisible(!configured);
    m_updateBox->setVisible(m_viewModel.isUpdateAvailable());
    m_updateVersion->setText(QStringLiteral("Update Available: ") + m_viewModel.availableVersion());
    m_updateVersion->setAccessibleName(m_updateVersion->text());
    m_requiredUpdate->setVisible(m_viewModel.isUpdateRequired());
    const QString lastChecked = m_viewModel.lastCheckedText();
    m_lastChecked->setText(lastChecked);
    m_lastChecked->setAccessibleName(lastChecked);
    m_lastChecked->setVisible(!lastChecked.isEmpty());
}

void SettingsWindow::applyColors()
{
    const QPalette colors = palette();
    const qreal ratio = devicePixelRatioF();
    for (QWidget *widget : findChildren<QWidget *>()) {
        const QString role = widget->property(colorRoleProperty).toString();
        if (role.isEmpty())
            continue;
        const QColor color = roleColor(colors, role);
        const QString symbol = widget->property(symbolProperty).toString();
        const int size = widget->property(symbolSizeProperty).toInt();
        if (auto *button = qobject_cast<QToolButton *>(widget); button && !symbol.isEmpty()) {
            button->setIcon(QIcon(symbolPixmap(symbol, color, size, ratio)));
        } else if (auto *label = qobject_cast<QLabel *>(widget); label && !symbol.isEmpty()) {
            label->setPixmap(symbolPixmap(symbol, color, size, ratio));
        } else {
            QPalette own = widget->palette();
            own.setColor(QPalette::WindowText, color);
            own.setColor(QPalette::ButtonText, color);
            widget->setPalette(own);
        }
    }
}

// ---- Input ----

void SettingsWindow::clearHistoryClicked()
{
    const bool confirmed = m_options.confirmClearHistory ? m_options.confirmClearHistory(this) : askToClearHistory(this);
    if (confirmed)
        m_viewModel.clearAllHistory();
}

bool SettingsWindow::askToClearHistory(QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Clear All History"),
                    QStringLiteral("This will permanently delete all clipboard history and favorites. This action "
                                   "cannot be undone."),
                    QMessageBox::NoButton, parent);
    QPushButton *cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton *clear = box.addButton(QStringLiteral("Clear All"), QMessageBox::DestructiveRole);
    cancel->setAccessibleName(cancel->text());
    clear->setAccessibleName(clear->text());
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == clear;
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    m_viewModel.appear();
}

void SettingsWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
}

bool SettingsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target || target->window() != this)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (key->key() != Qt::Key_Escape || !plain || m_viewModel.recorder().isRecording())
        return QWidget::eventFilter(watched, event);
    close();
    return true;
}

void SettingsWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyColors();
        update();
    }
}

void SettingsWindow::paintEvent(QPaintEvent *)
{
    // The window's surface: the thin material, opaque on a normal window.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

} // namespace snipbrook
