#pragma once

#include "StartupFlow.h"

#include <QDateTime>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QThreadPool;

namespace snipbrook {

class ClipboardManager;
class ConfigurationManager;
class HotkeyManager;
class HotkeyRecorder;
class KeyCapture;
class LoginItemManager;
class Preferences;
class UpdateManager;
class Workspace;

// An application a picker offers.
struct ApplicationChoice {
    QString bundleIdentifier;
    QString name;

    bool operator==(const ApplicationChoice &) const = default;
};

// A row of the ignored applications.
struct IgnoredApplication {
    QString bundleIdentifier;
    QString name;
    // The application's icon; null when it is not installed (the view draws the "app" symbol).
    QImage icon;
};

// What the settings window reads and changes. The configuration, preferences and workspace must
// outlive the view-model; the managers are optional (a section without its manager shows its
// defaults and its actions do nothing).
struct SettingsServices {
    ConfigurationManager &configuration;
    Preferences &preferences;
    Workspace &workspace;
    ClipboardManager *history = nullptr;
    HotkeyManager *hotkeys = nullptr;
    LoginItemManager *loginItems = nullptr;
    UpdateManager *updates = nullptr;
    // Takes the keyboard while a shortcut is recorded; without one the recorder only records
    // what is fed to it.
    KeyCapture *keyCapture = nullptr;
    // Where the installed applications are read; the background pool when none.
    QThreadPool *scanPool = nullptr;
    // The clock of "Last checked".
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // What this desktop does not allow and what to do instead (bind the shortcut in the
    // compositor, no clipboard access for Wayland applications), shown under the hotkeys; empty
    // when nothing is missing.
    QString desktopNotice = {};
};

// The state and actions of the settings window's five sections. Main thread only; the scan for
// installed applications runs on the pool and is published here.
class SettingsViewModel : public QObject {
    Q_OBJECT
public:
    // The preference the start-up reads.
    static constexpr QLatin1StringView startInBackgroundKey = StartupFlow::startInBackgroundKey;

    explicit SettingsViewModel(SettingsServices services, QObject *parent = nullptr);
    // Waits for a scan in flight, so the workspace it reads may go right after.
    ~SettingsViewModel() override;

    // The window is being shown: copies the shortcut state, reloads the running applications
    // and starts reading the installed ones in the background.
    void appear();

    // Hotkeys
    QString currentHotkey() const { return m_currentHotkey; }
    // The current shortcut in the desktop's words ("Ctrl+Shift+Space"), else as stored.
    QString currentHotkeyText() const;
    bool isHotkeyEnabled() const { return m_hotkeyEnabled; }
    // The shortcut recorder the window's field draws; an accepted recording is recordHotkey'd, a
    // cleared one recordHotkey("")'d (no shortcut at all).
    HotkeyRecorder &recorder() const { return *m_recorder; }
    // A recorded (already validated) shortcut: saved, then registered in place of the old one.
    void recordHotkey(const QString &hotkey);
    void setHotkeyEnabled(bool enabled);
    const QString &desktopNotice() const { return m_services.desktopNotice; }

    // Startup
    bool isLaunchAtLoginAvailable() const { return m_services.loginItems != nullptr; }
    bool launchAtLogin() const;
    void setLaunchAtLogin(bool enabled);
    bool startHidden() const { return m_startHidden; }
    void setStartHidden(bool hidden);

    // Storage
    int itemCount() const;
    int favoriteCount() const;
    QString itemCountText() const;
    QString favoriteCountText() const;
    // The confirmation's "Clear All": empties the history and the favourites.
    void clearAllHistory();

    // Ignored applications, in stored order.
    const QList<IgnoredApplication> &ignoredApplications() const { return m_ignored; }
    void removeIgnoredApplication(const QString &bundleIdentifier);

    const QList<ApplicationChoice> &runningApplications() const { return m_running; }
    const QList<ApplicationChoice> &installedApplications() const { return m_installed; }
    bool isScanningInstalledApplications() const { return m_scanGeneration != m_publishedGeneration; }
    QString selectedRunningApplication() const { return m_selectedRunning; }
    QString selectedInstalledApplication() const { return m_selectedInstalled; }
    void selectRunningApplication(const QString &bundleIdentifier);
    void selectInstalledApplication(const QString &bundleIdentifier);
    // Adds the picker's selection (nothing without one) and resets the picker.
    void addSelectedRunningApplication();
    void addSelectedInstalledApplication();
    void reloadRunningApplications();
    void rescanInstalledApplications();

    // Updates
    bool areUpdatesConfigured() const;
    QString currentVersionText() const;
    bool isCheckingForUpdates() const;
    bool isUpdateAvailable() const;
    QString availableVersion() const;
    bool isUpdateRequired() const;
    // "Last checked: 5 min ago"; empty before the first check.
    QString lastCheckedText() const;
    void checkForUpdates();
    void downloadUpdate();

    // A picker's list: no blank identifier and not `own`, the first entry of each identifier,
    // sorted by name in the user's language ignoring case.
    static QList<ApplicationChoice> pickerChoices(const QList<ApplicationChoice> &apps, const QString &own);

signals:
    void hotkeyChanged();
    void startupChanged();
    void storageChanged();
    void ignoredApplicationsChanged();
    void runningApplicationsChanged();
    void installedApplicationsChanged();
    void selectionChanged();
    void updatesChanged();

private:
    void loadInstalledApplications(bool rescan);
    void rebuildIgnored();
    QString ownBundleIdentifier() const;
    QString nameFor(const QString &bundleIdentifier) const;

    SettingsServices m_services;
    HotkeyRecorder *m_recorder;
    QString m_currentHotkey;
    bool m_hotkeyEnabled = false;
    bool m_startHidden = false;
    QStringList m_ignoredIds;
    QList<IgnoredApplication> m_ignored;
    // Icons by identifier, read once: the theme lookup is not free.
    QHash<QString, QImage> m_icons;
    QList<ApplicationChoice> m_running;
    QList<ApplicationChoice> m_installed;
    QString m_selectedRunning;
    QString m_selectedInstalled;
    QFuture<QList<ApplicationChoice>> m_scan;
    quint64 m_scanGeneration = 0;
    quint64 m_publishedGeneration = 0;
};

} // namespace snipbrook
