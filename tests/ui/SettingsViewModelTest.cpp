#include "SettingsTestSupport.h"

#include "system/HotkeyRecorder.h"

#include <QSemaphore>
#include <QSignalSpy>

namespace snipbrook::test {
namespace {

using Combination = FakeGlobalShortcut::Combination;

class SettingsViewModelTest : public SettingsFixture {};

TEST_F(SettingsViewModelTest, ARecordedShortcutIsSavedAndReplacesTheRegisteredOne)
{
    openSettings();
    ASSERT_EQ(shortcut.registered, (Combination{Qt::Key_Space, Qt::ControlModifier | Qt::ShiftModifier}));
    EXPECT_EQ(settings->currentHotkeyText(), "Ctrl+Shift+Space");

    settings->recordHotkey(QStringLiteral("opt+cmd+k"));

    const HotkeyConfiguration saved = ConfigurationManager(preferences, QString()).configuration().hotkeyConfiguration;
    EXPECT_EQ(saved.globalSearchHotkey, "opt+cmd+k");
    EXPECT_EQ(saved.spotlightSearchHotkey, "shift+cmd+space") << "the other shortcut stays";
    EXPECT_TRUE(saved.enabled);
    EXPECT_EQ(shortcut.registered, (Combination{Qt::Key_K, Qt::ControlModifier | Qt::AltModifier}));
    EXPECT_EQ(shortcut.unregistrations, 1) << "the old shortcut is released first";
    EXPECT_EQ(settings->currentHotkey(), "opt+cmd+k");
    EXPECT_EQ(settings->currentHotkeyText(), "Ctrl+Alt+K");
}

TEST_F(SettingsViewModelTest, TheRecorderSavesWhatItAcceptsAndKeepsTheOldShortcutOnRejection)
{
    openSettings();
    HotkeyRecorder &recorder = settings->recorder();
    EXPECT_EQ(recorder.hotkeyString(), "shift+cmd+space");

    recorder.startRecording();
    keyCapture.press({std::nullopt, QStringLiteral("v"), {}});
    EXPECT_EQ(configuration.configuration().hotkeyConfiguration.globalSearchHotkey, "shift+cmd+space")
        << "a key without modifiers is rejected";
    EXPECT_EQ(shortcut.registered, (Combination{Qt::Key_Space, Qt::ControlModifier | Qt::ShiftModifier}));

    recorder.startRecording();
    keyCapture.press({std::nullopt, QStringLiteral("b"), Qt::ControlModifier | Qt::AltModifier});
    EXPECT_EQ(configuration.configuration().hotkeyConfiguration.globalSearchHotkey, "opt+cmd+b");
    EXPECT_EQ(shortcut.registered, (Combination{Qt::Key_B, Qt::ControlModifier | Qt::AltModifier}));
    EXPECT_EQ(settings->currentHotkeyText(), "Ctrl+Alt+B");

    // The clear button leaves no shortcut at all, saved as such.
    recorder.clearHotkey();
    EXPECT_EQ(configuration.configuration().hotkeyConfiguration.globalSearchHotkey, "");
    EXPECT_FALSE(shortcut.registered);

    // Showing the window again starts from the saved value.
    settings->appear();
    EXPECT_EQ(recorder.hotkeyString(), "");
}

TEST_F(SettingsViewModelTest, AShortcutThatCannotBeSavedIsNotAppliedEither)
{
    openSettings();
    const auto registered = shortcut.registered;
    preferences.failWrites = true;

    settings->recordHotkey(QStringLiteral("opt+cmd+k"));
    EXPECT_EQ(shortcut.registered, registered);
    EXPECT_EQ(settings->currentHotkey(), "shift+cmd+space");
    EXPECT_EQ(settings->recorder().hotkeyString(), "shift+cmd+space");

    QSignalSpy changed(settings.get(), &SettingsViewModel::hotkeyChanged);
    settings->setHotkeyEnabled(false);
    EXPECT_TRUE(settings->isHotkeyEnabled()) << "the switch goes back on";
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(shortcut.registered, registered);
}

TEST_F(SettingsViewModelTest, SwitchingTheShortcutOffAndOnRegistersTheSameShortcutAgain)
{
    openSettings();
    settings->recordHotkey(QStringLiteral("shift+cmd+v"));
    const auto recorded = shortcut.registered;
    ASSERT_TRUE(recorded);

    settings->setHotkeyEnabled(false);
    EXPECT_FALSE(shortcut.registered);
    EXPECT_FALSE(configuration.configuration().hotkeyConfiguration.enabled);
    EXPECT_EQ(log.count(QStringLiteral("🗑️ Global hotkey unregistered")), 2);

    settings->setHotkeyEnabled(true);
    EXPECT_EQ(shortcut.registered, recorded);
    EXPECT_EQ(configuration.configuration().hotkeyConfiguration.globalSearchHotkey, "shift+cmd+v");
    EXPECT_TRUE(ConfigurationManager(preferences, QString()).configuration().hotkeyConfiguration.enabled);

    // A shortcut recorded while switched off is saved but not registered.
    settings->setHotkeyEnabled(false);
    settings->recordHotkey(QStringLiteral("opt+cmd+j"));
    EXPECT_FALSE(shortcut.registered);
    EXPECT_FALSE(configuration.configuration().hotkeyConfiguration.enabled);
}

TEST_F(SettingsViewModelTest, StartupSwitchesReachTheAutostartEntryAndThePreference)
{
    openSettings();
    QSignalSpy startup(settings.get(), &SettingsViewModel::startupChanged);
    settings->setLaunchAtLogin(true);
    EXPECT_TRUE(autostart.enabled);
    EXPECT_TRUE(settings->launchAtLogin());
    settings->setLaunchAtLogin(true);
    EXPECT_TRUE(autostart.enabled) << "asking for the current state does not toggle it";
    settings->setLaunchAtLogin(false);
    EXPECT_FALSE(autostart.enabled);

    // A folder that cannot be written: the switch goes back to off.
    autostart.refuse = true;
    startup.clear();
    settings->setLaunchAtLogin(true);
    EXPECT_FALSE(settings->launchAtLogin());
    EXPECT_GE(startup.count(), 1);

    settings->setStartHidden(true);
    EXPECT_TRUE(preferences.boolean(QStringLiteral("startInBackground")));
    settings.reset();
    openSettings();
    EXPECT_TRUE(settings->startHidden());
}

TEST_F(SettingsViewModelTest, StorageCountsFollowTheHistoryAndClearingEmptiesIt)
{
    start();
    addAll({makeItem(Type::text, QStringLiteral("one")), makeItem(Type::text, QStringLiteral("two")),
            makeItem(Type::text, QStringLiteral("three"))});
    history->toggleFavorite(history->clipboardItems()[0].id);
    openSettings();
    EXPECT_EQ(settings->itemCountText(), "3 items stored");
    EXPECT_EQ(settings->favoriteCountText(), "1 items");

    QSignalSpy storage(settings.get(), &SettingsViewModel::storageChanged);
    settings->clearAllHistory();
    EXPECT_GE(storage.count(), 1);
    EXPECT_EQ(settings->itemCountText(), "0 items stored");
    EXPECT_EQ(settings->favoriteCountText(), "0 items");
}

TEST_F(SettingsViewModelTest, IgnoredAppsAreNamedByTheirEntryThenTheirWindowThenTheirIdentifier)
{
    workspace.installed.insert(QStringLiteral("org.editor"), QStringLiteral("/apps/org.editor.desktop"));
    workspace.installedNames.insert(QStringLiteral("org.editor"), QStringLiteral("Text Editor"));
    workspace.running = {FakeWorkspace::app(QStringLiteral("Terminal"), QStringLiteral("org.term"), 7)};
    configuration.setBlacklistedBundleIds({QStringLiteral("org.editor"), QStringLiteral("org.ghost"), QStringLiteral("org.term")});
    openSettings();
    settings->appear();

    const QList<IgnoredApplication> &rows = settings->ignoredApplications();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].name, "Text Editor");
    EXPECT_FALSE(rows[0].icon.isNull());
    EXPECT_EQ(rows[1].name, "org.ghost");
    EXPECT_TRUE(rows[1].icon.isNull()) << "no application: the view draws the generic symbol";
    EXPECT_EQ(rows[2].name, "Terminal");

    // An application that is not on this machine can still be removed.
    QSignalSpy changed(settings.get(), &SettingsViewModel::ignoredApplicationsChanged);
    settings->removeIgnoredApplication(QStringLiteral("org.ghost"));
    EXPECT_EQ(ignoredIds(), (QStringList{"org.editor", "org.term"}));
    ASSERT_EQ(settings->ignoredApplications().size(), 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(scanned());
}

TEST_F(SettingsViewModelTest, PickersListEachAppOnceByNameAndNeverSnipbrookItself)
{
    workspace.running = {
        FakeWorkspace::app(QStringLiteral("zebra"), QStringLiteral("org.zebra"), 1),
        FakeWorkspace::app(QStringLiteral("Snipbrook"), QStringLiteral("com.snipbrook.app"), 2),
        FakeWorkspace::app(QStringLiteral("Apple"), QStringLiteral("org.apple"), 3),
        FakeWorkspace::app(QStringLiteral("Apple again"), QStringLiteral("org.apple"), 4),
        FakeWorkspace::app(QStringLiteral("Panel"), QStringLiteral("org.panel"), 5, /*isRegular=*/false),
        RunningApplication{QStringLiteral("No id"), std::nullopt, 6, true, false},
        RunningApplication{std::nullopt, QStringLiteral("org.nameless"), 8, true, false},
        FakeWorkspace::app(QStringLiteral("banana"), QStringLiteral("org.banana"), 9),
    };
    workspace.installed.insert(QStringLiteral("com.snipbrook.app"), QStringLiteral("/apps/com.snipbrook.app.desktop"));
    workspace.installed.insert(QStringLiteral("org.b"), QStringLiteral("/apps/org.b.desktop"));
    workspace.installedNames.insert(QStringLiteral("org.b"), QStringLiteral("beta"));
    workspace.installed.insert(QStringLiteral("org.a"), QStringLiteral("/apps/org.a.desktop"));
    workspace.installedNames.insert(QStringLiteral("org.a"), QStringLiteral("Alpha"));
    openSettings();
    settings->appear();

    EXPECT_EQ(ids(settings->runningApplications()),
              (QStringList{"org.apple", "org.banana", "org.nameless", "org.zebra"}));
    EXPECT_EQ(settings->runningApplications()[2].name, "org.nameless") << "no name: the identifier stands in";
    ASSERT_TRUE(scanned());
    EXPECT_EQ(ids(settings->installedApplications()), (QStringList{"org.a", "org.b"}));

    // A workspace that reports another identifier for Snipbrook keeps that one out.
    workspace.ownBundle = QStringLiteral("org.banana");
    settings->reloadRunningApplications();
    EXPECT_FALSE(ids(settings->runningApplications()).contains("org.banana"));
}

TEST_F(SettingsViewModelTest, AddingFromAPickerNeedsASelectionAndResetsIt)
{
    workspace.running = {FakeWorkspace::app(QStringLiteral("Vault"), QStringLiteral("org.vault"), 1)};
    workspace.installed.insert(QStringLiteral("org.notes"), QStringLiteral("/apps/org.notes.desktop"));
    openSettings();
    settings->appear();
    ASSERT_TRUE(scanned());
    const QStringList before = ignoredIds();

    settings->addSelectedRunningApplication();
    settings->addSelectedInstalledApplication();
    EXPECT_EQ(ignoredIds(), before) << "nothing selected, nothing added";

    settings->selectRunningApplication(QStringLiteral("org.vault"));
    settings->addSelectedRunningApplication();
    EXPECT_TRUE(ignoredIds().contains("org.vault"));
    EXPECT_TRUE(settings->selectedRunningApplication().isEmpty());

    settings->selectInstalledApplication(QStringLiteral("org.notes"));
    settings->addSelectedInstalledApplication();
    const QStringList after = ignoredIds();
    EXPECT_TRUE(after.contains("org.notes"));
    EXPECT_TRUE(settings->selectedInstalledApplication().isEmpty());

    // Adding one that is already listed leaves the list as it is, and still resets the picker.
    settings->selectRunningApplication(QStringLiteral("org.vault"));
    settings->addSelectedRunningApplication();
    EXPECT_EQ(ignoredIds(), after);
    EXPECT_TRUE(settings->selectedRunningApplication().isEmpty());
}

TEST_F(SettingsViewModelTest, TheInstalledAppsAreReadOffTheMainThreadAndRescannedOnRequest)
{
    // The scan pool is held, so the window is shown before the list exists.
    QSemaphore gate;
    scanPool.setMaxThreadCount(1);
    scanPool.start([&gate] { gate.acquire(); });
    openSettings();
    settings->appear();
    EXPECT_TRUE(settings->isScanningInstalledApplications());
    EXPECT_TRUE(settings->installedApplications().isEmpty());
    gate.release();
    ASSERT_TRUE(scanned());
    const int scans = workspace.installedScans;

    workspace.installed.insert(QStringLiteral("org.new"), QStringLiteral("/apps/org.new.desktop"));
    settings->rescanInstalledApplications();
    ASSERT_TRUE(scanned());
    EXPECT_EQ(workspace.installedScans, scans + 1);
    EXPECT_EQ(ids(settings->installedApplications()), QStringList{"org.new"});
}

TEST_F(SettingsViewModelTest, ABuildWithoutAFeedOffersNoCheck)
{
    openSettings();
    EXPECT_FALSE(settings->areUpdatesConfigured());
    EXPECT_EQ(settings->currentVersionText(), "0.1.0 (1)");
    settings->checkForUpdates();
    EXPECT_FALSE(settings->isCheckingForUpdates());
    EXPECT_FALSE(settings->isUpdateAvailable());
    EXPECT_TRUE(settings->lastCheckedText().isEmpty());
    EXPECT_FALSE(updatePreferences.contains(QStringLiteral("lastUpdateCheck")));
}

} // namespace
} // namespace snipbrook::test
