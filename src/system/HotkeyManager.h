#pragma once

#include "HotkeyString.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace snipbrook {

class ConfigurationManager;
class GlobalShortcut;

// Owns the program's one global shortcut: registers the configured hot key string with the
// platform, follows the settings' changes and decides whether a press opens the quick-access
// panel. Failures are logged and never stop the program. Main thread only.
class HotkeyManager : public QObject {
    Q_OBJECT
public:
    // Registers the configuration's hot key at once (the default one without a configuration).
    // `shortcut` must outlive the manager; the configuration may go first.
    explicit HotkeyManager(GlobalShortcut &shortcut, ConfigurationManager *configuration = nullptr,
                           QObject *parent = nullptr);
    // Unregisters the hot key.
    ~HotkeyManager() override;

    // Later changes read this configuration; what is registered stays until the next update.
    void setConfigurationManager(ConfigurationManager *configuration);

    // Registers the string without releasing the current hot key first (see updateHotkey).
    void registerHotkey(const QString &hotkey);
    // Releases the current hot key, then registers the string when it is not blank and hot keys
    // are enabled in the configuration.
    void updateHotkey(const QString &hotkey);
    void unregisterHotkey();
    // Switched on: registers the configured hot key; switched off: unregisters.
    void setHotkeyEnabled(bool enabled);

    bool isRegistered() const { return m_registered; }
    // The string of the current registration; nothing when none is registered.
    std::optional<QString> registeredHotkey() const;
    // The last successful registration's numbers; kept after unregistering.
    std::optional<quint16> registeredKeyCode() const { return m_registeredKeyCode; }
    std::optional<quint32> registeredModifiers() const { return m_registeredModifiers; }
    // The hot key string the user is to bind in the compositor: the last registration was
    // answered `boundByDesktop` (Wayland without a shortcut portal). Nothing is registered then.
    std::optional<QString> desktopBoundHotkey() const { return m_desktopBoundHotkey; }

signals:
    // After every successful registration (a replaced one too) and every unregistration.
    void registrationChanged(bool registered);
    // A press of the hot key that counts: the quick-access panel should open (or show again).
    void showQuickAccessRequested();

private:
    void hotkeyPressed();
    bool hotkeysEnabled() const;

    GlobalShortcut &m_shortcut;
    QPointer<ConfigurationManager> m_configuration;
    bool m_registered = false;
    QString m_registeredHotkey;
    std::optional<quint16> m_registeredKeyCode;
    std::optional<quint32> m_registeredModifiers;
    std::optional<QString> m_desktopBoundHotkey;
};

} // namespace snipbrook
