#include "DesktopShell.h"

#include "ApplicationState.h"
#include "model/Diagnostics.h"
#include "platform/linux/DBusNotifier.h"
#include "platform/linux/QtTrayIcon.h"
#include "platform/linux/X11ActiveWindow.h"
#include "platform/linux/X11GlobalShortcut.h"
#include "platform/linux/XTestKeySynthesizer.h"
#include "system/HotkeyManager.h"
#include "system/HotkeyString.h"
#include "system/MenuBarManager.h"
#include "system/PasteController.h"
#include "ui/QuickAccessPanel.h"
#include "ui/QuickAccessViewModel.h"
#include "ui/SymbolIcons.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMessageBox>

namespace snipbrook {

// Declared in the order they depend on each other; destroyed the other way round.
struct DesktopShell::Parts {
    Parts(ApplicationState &state, Pasteboard &pasteboard, const Clock &clock)
        : paste(state.clipboard(), pasteboard, keys, activeWindow, notifier),
          quickAccess(state.clipboard(), clock),
          panel(quickAccess, QuickAccessPanel::Options{activeWindow.compositorRunning()}),
          tray(&symbolIcon),
          hotkeys(shortcut, &state.configuration())
    {
    }

    XTestKeySynthesizer keys;
    X11ActiveWindow activeWindow;
    DBusNotifier notifier;
    PasteController paste;
    QuickAccessViewModel quickAccess;
    QuickAccessPanel panel;
    QtTrayIcon tray;
    std::unique_ptr<MenuBarManager> menuBar;
    X11GlobalShortcut shortcut;
    HotkeyManager hotkeys;
};

DesktopShell::DesktopShell(ApplicationState &state, Pasteboard &pasteboard, const Clock &clock, QObject *parent)
    : QObject(parent), m_parts(std::make_unique<Parts>(state, pasteboard, clock))
{
    Parts &p = *m_parts;
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
    hooks.quit = [] { QCoreApplication::quit(); };
    p.menuBar = std::make_unique<MenuBarManager>(state.clipboard(), p.tray, std::move(hooks));
    // Until the main window exists, the menu offers to show it.
    p.menuBar->setMainWindowVisible(false);

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
}

DesktopShell::~DesktopShell() = default;

void DesktopShell::showQuickAccess()
{
    Parts &p = *m_parts;
    // Taken before the panel exists on screen, so the target is the window the user worked in.
    p.paste.rememberTarget();
    p.panel.showAt(p.menuBar->trayIconGeometry(), QCursor::pos());
}

bool DesktopShell::isQuickAccessVisible() const { return m_parts->panel.isVisible(); }

QString DesktopShell::statusLines() const
{
    const Parts &p = *m_parts;
    const std::optional<QString> hotkey = p.hotkeys.registeredHotkey();
    const QString shortcut = p.hotkeys.isRegistered() && hotkey
                                 ? QStringLiteral("registered (") + hotkey::hotkeyKeyCapsText(*hotkey).value_or(*hotkey) +
                                       QLatin1Char(')')
                                 : QStringLiteral("not registered");
    const QString tray = p.menuBar->isTrayPresent() ? QStringLiteral("present")
                                                    : QStringLiteral("none (no StatusNotifier or XEmbed tray host)");
    return QStringLiteral("Global shortcut: ") + shortcut + QStringLiteral("\nTray: ") + tray;
}

} // namespace snipbrook
