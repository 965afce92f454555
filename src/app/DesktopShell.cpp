#include "DesktopShell.h"

#include "ApplicationState.h"
#include "model/Diagnostics.h"
#include "DesktopPlatform.h"
#include "platform/ActiveWindow.h"
#include "platform/GlobalShortcut.h"
#include "platform/KeyCapture.h"
#include "platform/KeySynthesizer.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "platform/linux/DBusNotifier.h"
#include "platform/linux/QtTrayIcon.h"
#include "platform/linux/XdgAutostart.h"
#include "system/HotkeyManager.h"
#include "system/HotkeyString.h"
#include "system/LoginItemManager.h"
#include "system/MenuBarManager.h"
#include "system/PasteController.h"
#include "system/UpdateManager.h"
#include "BuildInfo.h"
#include "capture/AppIconCache.h"
#include "ui/AppMessages.h"
#include "ui/CardGridView.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowViewModel.h"
#include "ui/QuickAccessPanel.h"
#include "ui/QuickAccessViewModel.h"
#include "ui/SettingsViewModel.h"
#include "ui/SettingsWindow.h"
#include "ui/ApplicationIcon.h"
#include "ui/StartupFlow.h"
#include "ui/SymbolIcons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>

namespace snipbrook {

namespace {

// The command line program the autostart entry runs: beside the instance in a build tree, else
// the installed one.
QString commandLineProgram()
{
    const QString instance = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString sibling = QFileInfo(instance).absolutePath() + QStringLiteral("/snipbrook");
    if (QFileInfo(sibling).isExecutable())
        return sibling;
    return QString::fromLatin1(build::commandProgram);
}

UpdateManager::Options updateOptions()
{
    UpdateManager::Options options;
    options.releasesUrl = UpdateManager::configuredReleasesUrl();
    return options;
}

} // namespace

// Declared in the order they depend on each other; destroyed the other way round.
struct DesktopShell::Parts {
    Parts(ApplicationState &state, DesktopPlatform &platform, const Clock &clock, Preferences &preferences)
        : platform(platform),
          workspace(platform.workspace()),
          preferences(preferences),
          translucent(platform.compositorRunning()),
          autostart(commandLineProgram(), {QStringLiteral("--background")}),
          loginItems(autostart),
          updates(preferences, updateOptions()),
          appIcons(workspace),
          keys(platform.makeKeySynthesizer()),
          activeWindow(platform.makeActiveWindow()),
          paste(state.clipboard(), platform.pasteboard(), *keys, *activeWindow, notifier),
          quickAccess(state.clipboard(), clock),
          panel(quickAccess, panelOptions(platform, translucent)),
          tray([](const QString &symbol) { return symbolIcon(symbol); }, applicationIcon()),
          shortcut(platform.makeGlobalShortcut()),
          hotkeys(*shortcut, &state.configuration()),
          mainModel(state.clipboard(), state.configuration()),
          keyCapture(platform.makeKeyCapture())
    {
    }

    static QuickAccessPanel::Options panelOptions(const DesktopPlatform &platform, bool translucent)
    {
        QuickAccessPanel::Options options;
        options.translucent = translucent;
        // A Wayland popup needs a parent surface of ours in front, which the panel does not have.
        options.standaloneWindow = platform.kind() == SessionKind::wayland;
        return options;
    }

    DesktopPlatform &platform;
    Workspace &workspace;
    Preferences &preferences;
    const bool translucent;
    XdgAutostart autostart;
    LoginItemManager loginItems;
    UpdateManager updates;
    AppIconCache appIcons;
    // Applications without an icon are asked once per run, not on every repaint of their cards.
    QHash<QString, QImage> cardIcons;
    std::unique_ptr<KeySynthesizer> keys;
    std::unique_ptr<ActiveWindow> activeWindow;
    DBusNotifier notifier;
    PasteController paste;
    QuickAccessViewModel quickAccess;
    QuickAccessPanel panel;
    QtTrayIcon tray;
    std::unique_ptr<MenuBarManager> menuBar;
    std::unique_ptr<GlobalShortcut> shortcut;
    HotkeyManager hotkeys;
    MainWindowViewModel mainModel;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<StartupFlow> startup;
    // Used when the settings window records a shortcut; the window is built when first opened.
    std::unique_ptr<KeyCapture> keyCapture;
    std::unique_ptr<SettingsViewModel> settingsModel;
    std::unique_ptr<SettingsWindow> settingsWindow;
};

namespace {

// The configured global shortcut as people on this desktop read it.
QString shortcutText(ApplicationState &state, const HotkeyManager &hotkeys)
{
    const std::optional<QString> hotkey = hotkeys.registeredHotkey();
    const QString configured =
        hotkey.value_or(state.configuration().configuration().hotkeyConfiguration.globalSearchHotkey);
    return hotkey::hotkeyKeyCapsText(configured).value_or(QStringLiteral("Ctrl+Shift+Space"));
}

// What the settings window says about this desktop: what it keeps from us, and where the
// shortcut must be bound when programs cannot take keys.
QString desktopNotice(const DesktopPlatform &platform, const HotkeyManager &hotkeys)
{
    QStringList lines;
    if (!platform.desktopNotice().isEmpty())
        lines.append(platform.desktopNotice());
    if (const std::optional<QString> bound = hotkeys.desktopBoundHotkey()) {
        const QString keys = hotkey::hotkeyKeyCapsText(*bound).value_or(*bound);
        lines.append(QStringLiteral("This desktop does not let programs take keys: bind %1 to \"snipbrook popup\" in "
                                    "its keyboard settings. For sway, add to its configuration:\n%2")
                         .arg(keys, hotkey::swayBindingLine(*bound).value_or(QStringLiteral("bindsym ... exec snipbrook popup"))));
    }
    return lines.join(QStringLiteral("\n\n"));
}

} // namespace

DesktopShell::DesktopShell(ApplicationState &state, DesktopPlatform &platform, const Clock &clock,
                           Preferences &preferences, QObject *parent)
    : QObject(parent), m_state(state), m_parts(std::make_unique<Parts>(state, platform, clock, preferences))
{
    Parts &p = *m_parts;
    // Every window of ours (settings, messages) carries the application's icon.
    QApplication::setWindowIcon(applicationIcon());
    MenuBarManager::Hooks hooks;
    hooks.rememberActiveWindow = [&p] { p.paste.rememberTarget(); };
    hooks.showQuickAccess = [this] { showQuickAccess(); };
    hooks.pasteItem = [&p](const ClipboardItem &item) { p.paste.paste(item); };
    hooks.notify = [&p](const QString &title, const QString &body) { p.notifier.post(title, body); };
    hooks.showAlert = [](const QString &message, const QString &informativeText) {
        auto *box = new QMessageBox(QMessageBox::Information, message, message, QMessageBox::Ok);
        box->setInformativeText(informativeText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
    hooks.quit = [] { QCoreApplication::exit(0); };
    hooks.openSettings = [this] { showSettings(); };
    hooks.showMainWindow = [&p] {
        p.mainWindow->show();
        p.mainWindow->raise();
        p.mainWindow->activateWindow();
    };
    // A hidden (unmapped) window has no taskbar entry; the tray icon stays.
    hooks.hideMainWindow = [&p] { p.mainWindow->hide(); };
    p.menuBar = std::make_unique<MenuBarManager>(state.clipboard(), p.tray, std::move(hooks));
    // The main window starts hidden until startMainWindow(), so the menu offers to show it.
    p.menuBar->setMainWindowVisible(false);

    MainWindow::Hooks windowHooks;
    windowHooks.openSettings = [&p] { p.menuBar->openSettings(); };
    windowHooks.toggleAutoStart = [&p] { p.loginItems.toggleAutoStart(); };
    windowHooks.hideMainWindow = [&p] { p.menuBar->hideMainWindow(); };
    windowHooks.isTrayPresent = [&p] { return p.menuBar->isTrayPresent(); };
    windowHooks.showAbout = [&p] { p.menuBar->showAbout(); };
    windowHooks.quit = [&p] { p.menuBar->quitApp(); };
    windowHooks.shortcutText = [&state, &p] { return shortcutText(state, p.hotkeys); };
    p.mainWindow = std::make_unique<MainWindow>(p.mainModel, std::move(windowHooks));
    p.mainWindow->setTranslucentSurface(p.translucent);
    hostCardGrid(state, clock);
    // However the window went away (a close without a tray, the window manager), the menu follows.
    connect(p.mainWindow.get(), &MainWindow::visibilityChanged, p.menuBar.get(), &MenuBarManager::setMainWindowVisible);

    connect(&p.hotkeys, &HotkeyManager::showQuickAccessRequested, this, [this] {
        if (isQuickAccessVisible())
            m_parts->panel.hide();
        else
            showQuickAccess();
    });
    connect(&p.quickAccess, &QuickAccessViewModel::pasteRequested, this,
            [&p](const ClipboardItem &item) { p.menuBar->pasteItem(item); });
    connect(&p.quickAccess, &QuickAccessViewModel::showMainWindowRequested, this,
            [&p] { p.menuBar->showMainWindow(); });
    connect(&p.paste, &PasteController::switchingBack, &p.panel, &QWidget::hide);
    // Where the panel is a standalone window, the compositor's word that another window took the
    // focus closes it too: the toolkit misses a focus that comes and goes at once.
    p.platform.onOtherWindowActivated(&p.panel, [&p] {
        if (p.panel.isVisible())
            p.panel.hide();
    });
}

DesktopShell::~DesktopShell() = default;

void DesktopShell::hostCardGrid(ApplicationState &state, const Clock &clock)
{
    Parts &p = *m_parts;
    CardGridView::Options options;
    options.now = [&clock] { return clock.now(); };
    options.appIcon = [&p](const QString &bundle) {
        const auto known = p.cardIcons.constFind(bundle);
        if (known != p.cardIcons.constEnd())
            return *known;
        const QImage icon = p.appIcons.icon(bundle).value_or(QImage());
        p.cardIcons.insert(bundle, icon);
        return icon;
    };
    auto *grid = new CardGridView(state.clipboard(), options);
    p.mainWindow->setGridView(grid);
    const auto showDisplayed = [&p, grid] {
        grid->setColumnCount(p.mainModel.columns());
        grid->setAccentColor(p.mainModel.categoryTint());
        grid->setItems(p.mainModel.displayedItems());
    };
    connect(&p.mainModel, &MainWindowViewModel::displayedItemsChanged, grid, showDisplayed);
    connect(&p.mainModel, &MainWindowViewModel::columnsChanged, grid, &CardGridView::setColumnCount);
    connect(grid, &CardGridView::pasteRequested, this, [&p](const ClipboardItem &item) {
        // The window in front before ours: remembered when the main window was opened.
        p.menuBar->pasteItem(item);
    });
    showDisplayed();
}

void DesktopShell::showQuickAccess()
{
    Parts &p = *m_parts;
    // Taken before the panel exists on screen, so the target is the window the user worked in.
    p.paste.rememberTarget();
    p.panel.showAt(p.menuBar->trayIconGeometry(), QCursor::pos());
}

bool DesktopShell::isQuickAccessVisible() const { return m_parts->panel.isVisible(); }

void DesktopShell::startMainWindow(bool startHidden)
{
    Parts &p = *m_parts;
    if (p.startup)
        return;
    StartupFlow::Hooks hooks;
    hooks.hideMainWindow = [&p] { p.menuBar->hideMainWindow(); };
    hooks.showWelcome = [this](std::function<void(bool)> closed) {
        Parts &p = *m_parts;
        auto *box = new QMessageBox(QMessageBox::Information, messages::welcomeTitle(), messages::welcomeTitle(),
                                    QMessageBox::NoButton, p.mainWindow.get());
        box->setInformativeText(messages::welcomeText(shortcutText(m_state, p.hotkeys)));
        box->addButton(messages::welcomeDismissButton(), QMessageBox::AcceptRole);
        QPushButton *autoStart = box->addButton(messages::welcomeAutoStartButton(), QMessageBox::ActionRole);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, box,
                [box, autoStart, closed] { closed(box->clickedButton() == autoStart); });
        box->open();
    };
    hooks.showAccessibilityMessage = [&p] {
        auto *box = new QMessageBox(QMessageBox::Information, messages::pasteUnavailableTitle(),
                                    messages::pasteUnavailableTitle(), QMessageBox::Ok, p.mainWindow.get());
        box->setInformativeText(messages::pasteUnavailableText(p.platform.kind() == SessionKind::wayland));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    hooks.enableAutoStart = [&p] { p.loginItems.enableAutoStart(); };
    hooks.checkForUpdates = [&p] { p.updates.checkForUpdates(false); };
    p.startup = std::make_unique<StartupFlow>(p.preferences, p.keys->isAvailable(), std::move(hooks));
    if (startHidden)
        diag(QStringLiteral("ℹ️ Started at login: the main window stays in the tray"));
    else
        p.menuBar->showMainWindow();
    p.startup->run();
}

void DesktopShell::showMainWindow() { m_parts->menuBar->showMainWindow(); }

void DesktopShell::hideMainWindow() { m_parts->menuBar->hideMainWindow(); }

bool DesktopShell::isMainWindowVisible() const { return m_parts->mainWindow->isVisible(); }

void DesktopShell::showSettings()
{
    Parts &p = *m_parts;
    if (!p.settingsWindow) {
        SettingsServices services{m_state.configuration(), p.preferences, p.workspace};
        services.history = &m_state.clipboard();
        services.hotkeys = &p.hotkeys;
        services.loginItems = &p.loginItems;
        services.updates = &p.updates;
        services.keyCapture = p.keyCapture.get();
        services.desktopNotice = desktopNotice(p.platform, p.hotkeys);
        p.settingsModel = std::make_unique<SettingsViewModel>(services);
        p.settingsWindow = std::make_unique<SettingsWindow>(*p.settingsModel);
    }
    p.settingsWindow->show();
    p.settingsWindow->raise();
    p.settingsWindow->activateWindow();
}

QString DesktopShell::statusLines() const
{
    const Parts &p = *m_parts;
    const std::optional<QString> hotkey = p.hotkeys.registeredHotkey();
    const std::optional<QString> bound = p.hotkeys.desktopBoundHotkey();
    const QString shortcut =
        p.hotkeys.isRegistered() && hotkey
            ? QStringLiteral("registered (") + hotkey::hotkeyKeyCapsText(*hotkey).value_or(*hotkey) + QLatin1Char(')')
        : bound ? QStringLiteral("bind it in the compositor (") + hotkey::swayBindingLine(*bound).value_or(*bound) +
                      QLatin1Char(')')
                : QStringLiteral("not registered");
    const QString tray = p.menuBar->isTrayPresent() ? QStringLiteral("present")
                                                    : QStringLiteral("none (no StatusNotifier or XEmbed tray host)");
    return QStringLiteral("Global shortcut: ") + shortcut + QStringLiteral("\nTray: ") + tray;
}

} // namespace snipbrook
