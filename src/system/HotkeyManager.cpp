#include "HotkeyManager.h"

#include "config/ConfigurationManager.h"
#include "model/Diagnostics.h"
#include "platform/GlobalShortcut.h"

namespace snipbrook {

HotkeyManager::HotkeyManager(GlobalShortcut &shortcut, ConfigurationManager *configuration, QObject *parent)
    : QObject(parent), m_shortcut(shortcut), m_configuration(configuration)
{
    // Presses are decided after the platform's handler has returned, from the event loop.
    connect(&m_shortcut, &GlobalShortcut::pressed, this, &HotkeyManager::hotkeyPressed, Qt::QueuedConnection);
    // Preview hosts render views without a running application: no shortcut for them.
    if (qEnvironmentVariableIsSet("XCODE_RUNNING_FOR_PREVIEWS"))
        return;
    registerHotkey(m_configuration ? m_configuration->configuration().hotkeyConfiguration.globalSearchHotkey
                                   : hotkey::defaultHotkey);
}

HotkeyManager::~HotkeyManager() { unregisterHotkey(); }

void HotkeyManager::setConfigurationManager(ConfigurationManager *configuration) { m_configuration = configuration; }

void HotkeyManager::registerHotkey(const QString &string)
{
    const std::optional<hotkey::Hotkey> parsed = hotkey::parseHotkeyString(string);
    const std::optional<Qt::Key> key = parsed ? hotkey::qtKey(parsed->keyCode) : std::nullopt;
    if (!key) {
        diag(QStringLiteral("❌ Invalid hotkey string: ") + string);
        return;
    }
    const int status = m_shortcut.registerShortcut(*key, hotkey::qtModifiers(parsed->modifiers));
    if (status == GlobalShortcut::boundByDesktop) {
        // Not a failure: the compositor runs the command line's popup for us once bound there.
        m_desktopBoundHotkey = string;
        diag(QStringLiteral("ℹ️ This desktop does not let programs take keys: bind `snipbrook popup` to ")
             + hotkey::hotkeyKeyCapsText(string).value_or(string)
             + QStringLiteral(" in the compositor (for sway: ") + hotkey::swayBindingLine(string).value_or(QString())
             + QStringLiteral(")"));
        return;
    }
    if (status != GlobalShortcut::success) {
        diag(QStringLiteral("❌ Failed to register global hotkey: ") + QString::number(status));
        return;
    }
    m_registered = true;
    m_desktopBoundHotkey.reset();
    m_registeredHotkey = string;
    m_registeredKeyCode = parsed->keyCode;
    m_registeredModifiers = parsed->modifiers;
    diag(QStringLiteral("✅ Global hotkey registered: ") + hotkey::hotkeyDisplayString(string));
    emit registrationChanged(true);
}

void HotkeyManager::updateHotkey(const QString &string)
{
    unregisterHotkey();
    if (!string.trimmed().isEmpty() && m_configuration && hotkeysEnabled())
        registerHotkey(string);
}

void HotkeyManager::unregisterHotkey()
{
    m_desktopBoundHotkey.reset();
    if (!m_registered)
        return;
    m_shortcut.unregisterShortcut();
    m_registered = false;
    m_registeredHotkey.clear();
    diag(QStringLiteral("🗑️ Global hotkey unregistered"));
    emit registrationChanged(false);
}

void HotkeyManager::setHotkeyEnabled(bool enabled)
{
    if (!enabled) {
        unregisterHotkey();
        return;
    }
    registerHotkey(m_configuration ? m_configuration->configuration().hotkeyConfiguration.globalSearchHotkey
                                   : hotkey::defaultHotkey);
}

std::optional<QString> HotkeyManager::registeredHotkey() const
{
    return m_registered ? std::optional(m_registeredHotkey) : std::nullopt;
}

bool HotkeyManager::hotkeysEnabled() const
{
    return !m_configuration || m_configuration->configuration().hotkeyConfiguration.enabled;
}

void HotkeyManager::hotkeyPressed()
{
    if (!hotkeysEnabled())
        return;
    // The modifiers may have been let go or changed since the press was queued.
    const quint32 held = hotkey::modifierMask(m_shortcut.heldModifiers());
    if (m_registeredModifiers && *m_registeredModifiers != held)
        return;
    emit showQuickAccessRequested();
}

} // namespace snipbrook
