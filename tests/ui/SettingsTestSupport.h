#pragma once

#include "ui/SettingsViewModel.h"

#include "capture/HistoryFixture.h"
#include "platform/Autostart.h"
#include "support/FakeGlobalShortcut.h"
#include "support/FakeKeyCapture.h"
#include "system/HotkeyManager.h"
#include "system/LoginItemManager.h"
#include "system/UpdateManager.h"

#include <QThreadPool>

namespace snipbrook::test {

// An autostart registration held in memory; `refuse` makes every change fail.
class MemoryAutostart : public Autostart {
public:
    bool enabled = false;
    bool refuse = false;

    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool value, QString *error) override
    {
        if (refuse) {
            if (error)
                *error = QStringLiteral("read-only folder");
            return false;
        }
        enabled = value;
        return true;
    }
};

// A settings view-model over a real history, configuration and hot key manager, with a fake
// desktop (running and installed applications) and shortcut service.
class SettingsFixture : public HistoryFixture {
protected:
    FakeGlobalShortcut shortcut;
    FakeKeyCapture keyCapture;
    MemoryAutostart autostart;
    FakePreferences updatePreferences;
    QThreadPool scanPool;
    std::unique_ptr<HotkeyManager> hotkeys;
    std::unique_ptr<LoginItemManager> loginItems;
    std::unique_ptr<UpdateManager> updates;
    std::unique_ptr<SettingsViewModel> settings;
    // The release feed; none: a build without one.
    QUrl feedUrl;
    QList<QUrl> openedUrls;

    // Call after setting up the workspace's applications (the scan reads them off this thread).
    void openSettings()
    {
        if (!history)
            start();
        hotkeys = std::make_unique<HotkeyManager>(shortcut, &configuration);
        loginItems = std::make_unique<LoginItemManager>(autostart);
        UpdateManager::Options options;
        options.currentVersion = QStringLiteral("0.1.0");
        options.releasesUrl = feedUrl;
        options.openUrl = [this](const QUrl &url) {
            openedUrls.append(url);
            return true;
        };
        updates = std::make_unique<UpdateManager>(updatePreferences, options);
        SettingsServices services{configuration, preferences, workspace};
        services.history = history.get();
        services.hotkeys = hotkeys.get();
        services.loginItems = loginItems.get();
        services.updates = updates.get();
        services.scanPool = &scanPool;
        services.keyCapture = &keyCapture;
        settings = std::make_unique<SettingsViewModel>(services);
    }
    bool scanned() { return waitFor([&] { return !settings->isScanningInstalledApplications(); }); }
    void TearDown() override
    {
        settings.reset();
        updates.reset();
        loginItems.reset();
        hotkeys.reset();
        HistoryFixture::TearDown();
    }
    QStringList ignoredIds() const
    {
        return configuration.configuration().settings.blacklistedBundleIdsOrEmpty();
    }
    static QStringList ids(const QList<ApplicationChoice> &apps)
    {
        QStringList result;
        for (const ApplicationChoice &app : apps)
            result.append(app.bundleIdentifier);
        return result;
    }
};

} // namespace snipbrook::test
