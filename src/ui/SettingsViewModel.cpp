#include "SettingsViewModel.h"
#include "core/BackgroundPool.h"

#include "RelativeTime.h"
#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "core/Async.h"
#include "model/Diagnostics.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "system/HotkeyManager.h"
#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"
#include "system/LoginItemManager.h"
#include "system/UpdateManager.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace snipbrook {

SettingsViewModel::SettingsViewModel(SettingsServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)),
      m_recorder(new HotkeyRecorder(m_services.keyCapture,
                                    m_services.configuration.configuration().hotkeyConfiguration.globalSearchHotkey, this))
{
    connect(m_recorder, &HotkeyRecorder::hotkeyAccepted, this, &SettingsViewModel::recordHotkey);
    connect(m_recorder, &HotkeyRecorder::hotkeyCleared, this, [this] { recordHotkey(QString()); });
    connect(&m_services.configuration, &ConfigurationManager::configurationChanged, this, [this] {
        if (m_ignoredIds != m_services.configuration.configuration().settings.blacklistedBundleIdsOrEmpty())
            rebuildIgnored();
    });
    if (ClipboardManager *history = m_services.history) {
        connect(history, &ClipboardManager::clipboardItemsChanged, this, &SettingsViewModel::storageChanged);
        connect(history, &ClipboardManager::favoriteItemsChanged, this, &SettingsViewModel::storageChanged);
    }
    if (LoginItemManager *login = m_services.loginItems)
        connect(login, &LoginItemManager::autoStartEnabledChanged, this, &SettingsViewModel::startupChanged);
    if (UpdateManager *updates = m_services.updates)
        connect(updates, &UpdateManager::stateChanged, this, &SettingsViewModel::updatesChanged);

    const HotkeyConfiguration &hotkeys = m_services.configuration.configuration().hotkeyConfiguration;
    m_currentHotkey = hotkeys.globalSearchHotkey;
    m_hotkeyEnabled = hotkeys.enabled;
    m_startHidden = m_services.preferences.boolean(startInBackgroundKey);
    rebuildIgnored();
}

SettingsViewModel::~SettingsViewModel()
{
    if (m_scan.isRunning())
        m_scan.waitForFinished();
}

void SettingsViewModel::appear()
{
    const HotkeyConfiguration &hotkeys = m_services.configuration.configuration().hotkeyConfiguration;
    m_currentHotkey = hotkeys.globalSearchHotkey;
    m_hotkeyEnabled = hotkeys.enabled;
    m_startHidden = m_services.preferences.boolean(startInBackgroundKey);
    m_recorder->setHotkeyString(m_currentHotkey);
    m_selectedRunning.clear();
    m_selectedInstalled.clear();
    emit hotkeyChanged();
    emit startupChanged();
    emit storageChanged();
    emit selectionChanged();
    emit updatesChanged();
    reloadRunningApplications();
    loadInstalledApplications(false);
}

// ---- Hotkeys ----

QString SettingsViewModel::currentHotkeyText() const
{
    return hotkey::hotkeyKeyCapsText(m_currentHotkey).value_or(m_currentHotkey);
}

void SettingsViewModel::recordHotkey(const QString &hotkey)
{
    HotkeyConfiguration next = m_services.configuration.configuration().hotkeyConfiguration;
    next.globalSearchHotkey = hotkey;
    next.enabled = m_hotkeyEnabled;
    // What could not be saved is not applied either: the shortcut that works stays the one a
    // restart will find.
    if (m_services.configuration.updateHotkeyConfiguration(next)) {
        m_currentHotkey = hotkey;
        if (m_services.hotkeys)
            m_services.hotkeys->updateHotkey(hotkey);
    }
    if (m_recorder->hotkeyString() != m_currentHotkey)
        m_recorder->setHotkeyString(m_currentHotkey);
    emit hotkeyChanged();
}

void SettingsViewModel::setHotkeyEnabled(bool enabled)
{
    HotkeyConfiguration next = m_services.configuration.configuration().hotkeyConfiguration;
    next.globalSearchHotkey = m_currentHotkey;
    next.enabled = enabled;
    if (m_services.configuration.updateHotkeyConfiguration(next)) {
        m_hotkeyEnabled = enabled;
        if (m_services.hotkeys)
            m_services.hotkeys->setHotkeyEnabled(enabled);
    }
    // Also after a refusal: the switch goes back to what holds.
    emit hotkeyChanged();
}

// ---- Startup ----

bool SettingsViewModel::launchAtLogin() const
{
    return m_services.loginItems && m_services.loginItems->isAutoStartEnabled();
}

void SettingsViewModel::setLaunchAtLogin(bool enabled)
{
    if (m_services.loginItems && m_services.loginItems->isAutoStartEnabled() != enabled)
        m_services.loginItems->toggleAutoStart();
    // Also when the toggle failed: the switch goes back to what is true.
    emit startupChanged();
}

void SettingsViewModel::setStartHidden(bool hidden)
{
    m_services.preferences.setBoolean(startInBackgroundKey, hidden);
    if (!m_services.preferences.sync())
        diag(QStringLiteral("⚠️ Could not save the preference startInBackground; it holds until Snipbrook quits"));
    m_startHidden = hidden;
    emit startupChanged();
}

// ---- Storage ----

int SettingsViewModel::itemCount() const
{
    return m_services.history ? int(m_services.history->clipboardItems().size()) : 0;
}

int SettingsViewModel::favoriteCount() const
{
    return m_services.history ? int(m_services.history->favoriteItems().size()) : 0;
}

QString SettingsViewModel::itemCountText() const { return QString::number(itemCount()) + QStringLiteral(" items stored"); }

QString SettingsViewModel::favoriteCountText() const { return QString::number(favoriteCount()) + QStringLiteral(" items"); }

void SettingsViewModel::clearAllHistory()
{
    if (m_services.history)
        m_services.history->clearAllHistory();
}

// ---- Ignored applications ----

void SettingsViewModel::removeIgnoredApplication(const QString &bundleIdentifier)
{
    m_services.configuration.removeBlacklistedBundleId(bundleIdentifier);
}

void SettingsViewModel::selectRunningApplication(const QString &bundleIdentifier)
{
    m_selectedRunning = bundleIdentifier;
    emit selectionChanged();
}

void SettingsViewModel::selectInstalledApplication(const QString &bundleIdentifier)
{
    m_selectedInstalled = bundleIdentifier;
    emit selectionChanged();
}

void SettingsViewModel::addSelectedRunningApplication()
{
    if (m_selectedRunning.isEmpty())
        return;
    m_services.configuration.addBlacklistedBundleId(m_selectedRunning);
    m_selectedRunning.clear();
    emit selectionChanged();
}

void SettingsViewModel::addSelectedInstalledApplication()
{
    if (m_selectedInstalled.isEmpty())
        return;
    m_services.configuration.addBlacklistedBundleId(m_selectedInstalled);
    m_selectedInstalled.clear();
    emit selectionChanged();
}

QList<ApplicationChoice> SettingsViewModel::pickerChoices(const QList<ApplicationChoice> &apps, const QString &own)
{
    QList<ApplicationChoice> choices;
    QSet<QString> seen;
    for (const ApplicationChoice &app : apps) {
        if (app.bundleIdentifier.trimmed().isEmpty() || app.bundleIdentifier == own || seen.contains(app.bundleIdentifier))
            continue;
        seen.insert(app.bundleIdentifier);
        choices.append(app);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(choices.begin(), choices.end(), [&](const ApplicationChoice &a, const ApplicationChoice &b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return choices;
}

QString SettingsViewModel::ownBundleIdentifier() const
{
    return m_services.workspace.ownBundleIdentifier().value_or(QStringLiteral("com.snipbrook.app"));
}

void SettingsViewModel::reloadRunningApplications()
{
    QList<ApplicationChoice> apps;
    for (const RunningApplication &app : m_services.workspace.runningApplications()) {
        if (!app.isRegular || !app.bundleIdentifier)
            continue;
        const QString name = app.localizedName.value_or(QString());
        apps.append({*app.bundleIdentifier, name.isEmpty() ? *app.bundleIdentifier : name});
    }
    m_running = pickerChoices(apps, ownBundleIdentifier());
    if (!m_selectedRunning.isEmpty()
        && std::none_of(m_running.cbegin(), m_running.cend(),
                        [&](const ApplicationChoice &app) { return app.bundleIdentifier == m_selectedRunning; })) {
        m_selectedRunning.clear();
        emit selectionChanged();
    }
    emit runningApplicationsChanged();
    // A name may come from the running applications only.
    rebuildIgnored();
}

void SettingsViewModel::rescanInstalledApplications() { loadInstalledApplications(true); }

void SettingsViewModel::loadInstalledApplications(bool rescan)
{
    const quint64 generation = ++m_scanGeneration;
    const bool wasScanning = generation - 1 != m_publishedGeneration;
    Workspace *workspace = &m_services.workspace;
    const QString own = ownBundleIdentifier();
    QThreadPool &pool = m_services.scanPool ? *m_services.scanPool : backgroundPool();
    m_scan = runOnPool(pool, [workspace, own, rescan] {
        QList<ApplicationChoice> apps;
        for (const InstalledApplication &app : workspace->installedApplications(rescan))
            apps.append({app.bundleIdentifier, app.name.isEmpty() ? app.bundleIdentifier : app.name});
        return pickerChoices(apps, own);
    });
    whenFinished(m_scan, this, [this, generation](const QFuture<QList<ApplicationChoice>> &done) {
        // Only the newest scan is shown; an older one finishing late would undo a rescan.
        if (generation != m_scanGeneration)
            return;
        m_publishedGeneration = generation;
        m_installed = done.resultCount() > 0 ? done.result() : QList<ApplicationChoice>();
        if (!m_selectedInstalled.isEmpty()
            && std::none_of(m_installed.cbegin(), m_installed.cend(),
                            [&](const ApplicationChoice &app) { return app.bundleIdentifier == m_selectedInstalled; })) {
            m_selectedInstalled.clear();
            emit selectionChanged();
        }
        emit installedApplicationsChanged();
    });
    if (!wasScanning)
        emit installedApplicationsChanged();
}

QString SettingsViewModel::nameFor(const QString &bundleIdentifier) const
{
    if (const auto installed = m_services.workspace.installedApplication(bundleIdentifier); installed && !installed->name.isEmpty())
        return installed->name;
    for (const ApplicationChoice &app : m_running) {
        if (app.bundleIdentifier == bundleIdentifier)
            return app.name;
    }
    return bundleIdentifier;
}

void SettingsViewModel::rebuildIgnored()
{
    m_ignoredIds = m_services.configuration.configuration().settings.blacklistedBundleIdsOrEmpty();
    QList<IgnoredApplication> rows;
    for (const QString &id : std::as_const(m_ignoredIds)) {
        IgnoredApplication row{id, nameFor(id), {}};
        if (const auto cached = m_icons.constFind(id); cached != m_icons.constEnd()) {
            row.icon = *cached;
        } else {
            if (const auto installed = m_services.workspace.installedApplication(id))
                row.icon = m_services.workspace.iconForFile(installed->location);
            m_icons.insert(id, row.icon);
        }
        rows.append(row);
    }
    m_ignored = rows;
    emit ignoredApplicationsChanged();
}

// ---- Updates ----

bool SettingsViewModel::areUpdatesConfigured() const { return m_services.updates && m_services.updates->isConfigured(); }

QString SettingsViewModel::currentVersionText() const
{
    if (m_services.updates)
        return m_services.updates->currentVersionText();
    const QString version = QCoreApplication::applicationVersion();
    return (version.isEmpty() ? QStringLiteral("1.0") : version) + QStringLiteral(" (1)");
}

bool SettingsViewModel::isCheckingForUpdates() const { return m_services.updates && m_services.updates->isChecking(); }

bool SettingsViewModel::isUpdateAvailable() const
{
    return m_services.updates && m_services.updates->updateAvailable() && m_services.updates->latestRelease();
}

QString SettingsViewModel::availableVersion() const
{
    return isUpdateAvailable() ? m_services.updates->latestRelease()->version : QString();
}

bool SettingsViewModel::isUpdateRequired() const
{
    return isUpdateAvailable() && m_services.updates->latestRelease()->isRequired;
}

QString SettingsViewModel::lastCheckedText() const
{
    if (!m_services.updates)
        return {};
    const std::optional<QDateTime> last = m_services.updates->lastCheckDate();
    if (!last || !last->isValid())
        return {};
    return QStringLiteral("Last checked: ") + relativeTimeText(*last, m_services.now());
}

void SettingsViewModel::checkForUpdates()
{
    if (areUpdatesConfigured())
        m_services.updates->checkForUpdates(true);
}

void SettingsViewModel::downloadUpdate()
{
    if (isUpdateAvailable())
        m_services.updates->openDownloadPage();
}

} // namespace snipbrook
