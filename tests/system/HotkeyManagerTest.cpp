#include "config/ConfigurationManager.h"
#include "platform/DesktopBoundShortcut.h"
#include "system/HotkeyManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakeGlobalShortcut.h"
#include "support/FakePreferences.h"
#include "support/WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

using Combination = FakeGlobalShortcut::Combination;
constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
const Combination ctrlShiftSpace{Qt::Key_Space, ctrlShift};
const Combination superAltK{Qt::Key_K, Qt::MetaModifier | Qt::AltModifier};

class HotkeyManagerTest : public ::testing::Test {
protected:
    // Stores the hot key section the settings window would have saved.
    void configure(const QString &hotkey, bool enabled)
    {
        ASSERT_TRUE(configuration.updateHotkeyConfiguration({hotkey, hotkey, enabled}));
    }

    FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    FakeGlobalShortcut shortcut;
    DiagnosticsCapture log;
};

} // namespace

TEST_F(HotkeyManagerTest, CreationRegistersTheConfiguredHotkeyOrTheDefault)
{
    {
        HotkeyManager manager(shortcut);
        EXPECT_EQ(shortcut.registered, ctrlShiftSpace);
        EXPECT_TRUE(manager.isRegistered());
        EXPECT_EQ(manager.registeredKeyCode(), 49);
        EXPECT_EQ(manager.registeredModifiers(), 0x0300u);
        EXPECT_EQ(log.lines(), QStringList{QStringLiteral("✅ Global hotkey registered: ⇧⌘Space")});
    }
    EXPECT_EQ(shortcut.registered, std::nullopt);
    EXPECT_EQ(log.lines().last(), QStringLiteral("🗑️ Global hotkey unregistered"));

    configure(QStringLiteral("ctrl+opt+k"), true);
    log.clear();
    HotkeyManager manager(shortcut, &configuration);
    EXPECT_EQ(shortcut.registered, superAltK);
    EXPECT_EQ(manager.registeredHotkey(), QStringLiteral("ctrl+opt+k"));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Global hotkey registered: ⌃⌥K")));
}

TEST_F(HotkeyManagerTest, RefusedOrInvalidRegistrationIsLoggedAndKeepsTheCurrentOne)
{
    HotkeyManager manager(shortcut, &configuration);
    QSignalSpy changes(&manager, &HotkeyManager::registrationChanged);

    shortcut.nextStatus = 10;
    manager.registerHotkey(QStringLiteral("ctrl+opt+k"));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to register global hotkey: 10")));
    EXPECT_EQ(shortcut.registered, ctrlShiftSpace);
    EXPECT_EQ(manager.registeredHotkey(), QStringLiteral("shift+cmd+space"));

    shortcut.nextStatus = GlobalShortcut::success;
    manager.registerHotkey(QStringLiteral("cmd+shift"));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Invalid hotkey string: cmd+shift")));
    EXPECT_EQ(shortcut.requests.size(), 2); // the invalid one never reached the platform
    EXPECT_TRUE(manager.isRegistered());
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(shortcut.unregistrations, 0);

    // Nothing registered yet and the platform refuses: the program goes on without a shortcut.
    FakeGlobalShortcut busy;
    busy.nextStatus = 10;
    HotkeyManager unlucky(busy);
    EXPECT_FALSE(unlucky.isRegistered());
    EXPECT_EQ(unlucky.registeredModifiers(), std::nullopt);
}

TEST_F(HotkeyManagerTest, UnregisteringTwiceReleasesAndLogsOnce)
{
    HotkeyManager manager(shortcut, &configuration);
    QSignalSpy changes(&manager, &HotkeyManager::registrationChanged);
    manager.unregisterHotkey();
    manager.unregisterHotkey();
    EXPECT_EQ(shortcut.unregistrations, 1);
    EXPECT_EQ(log.count(QStringLiteral("🗑️ Global hotkey unregistered")), 1);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_FALSE(manager.isRegistered());
    EXPECT_EQ(manager.registeredHotkey(), std::nullopt);
    // The numbers of the last registration stay.
    EXPECT_EQ(manager.registeredModifiers(), 0x0300u);
}

TEST_F(HotkeyManagerTest, UpdateRegistersOnlyANonBlankStringWhileEnabled)
{
    HotkeyManager manager(shortcut, &configuration);

    configure(QStringLiteral("ctrl+opt+k"), true);
    manager.updateHotkey(QStringLiteral("ctrl+opt+k"));
    EXPECT_EQ(shortcut.unregistrations, 1);
    EXPECT_EQ(shortcut.registered, superAltK);

    manager.updateHotkey(QStringLiteral(" \t\n"));
    EXPECT_EQ(shortcut.unregistrations, 2);
    EXPECT_FALSE(manager.isRegistered());

    // The string is handed on untrimmed, so a trailing blank spoils the key name.
    manager.updateHotkey(QStringLiteral("ctrl+opt+k "));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Invalid hotkey string: ctrl+opt+k ")));
    EXPECT_FALSE(manager.isRegistered());

    configure(QStringLiteral("ctrl+opt+k"), false);
    manager.registerHotkey(QStringLiteral("ctrl+opt+k"));
    const qsizetype requests = shortcut.requests.size();
    manager.updateHotkey(QStringLiteral("ctrl+opt+k"));
    EXPECT_EQ(shortcut.requests.size(), requests);
    EXPECT_EQ(shortcut.registered, std::nullopt);

    // Without a configuration there is nothing to say hot keys are on.
    HotkeyManager unconfigured(shortcut);
    unconfigured.updateHotkey(QStringLiteral("ctrl+opt+k"));
    EXPECT_FALSE(unconfigured.isRegistered());
}

TEST_F(HotkeyManagerTest, EnablingRegistersTheConfiguredHotkeyAndDisablingReleasesIt)
{
    HotkeyManager manager(shortcut);
    manager.setHotkeyEnabled(false);
    EXPECT_EQ(shortcut.registered, std::nullopt);
    manager.setHotkeyEnabled(true);
    EXPECT_EQ(shortcut.registered, ctrlShiftSpace);

    configure(QStringLiteral("ctrl+opt+k"), true);
    manager.setConfigurationManager(&configuration);
    EXPECT_EQ(shortcut.registered, ctrlShiftSpace); // a new configuration alone changes nothing
    manager.setHotkeyEnabled(false);
    manager.setHotkeyEnabled(true);
    EXPECT_EQ(shortcut.registered, superAltK);
    EXPECT_EQ(manager.registeredHotkey(), QStringLiteral("ctrl+opt+k"));
}

TEST_F(HotkeyManagerTest, PressOpensThePanelAfterTheHandlerReturnsWhileEnabledAndHeld)
{
    HotkeyManager manager(shortcut, &configuration);
    QSignalSpy shows(&manager, &HotkeyManager::showQuickAccessRequested);

    shortcut.press(ctrlShift | Qt::KeypadModifier);
    EXPECT_EQ(shows.size(), 0);
    EXPECT_TRUE(waitFor([&] { return shows.size() == 1; }));

    // Each press shows the panel again, even one after another.
    shortcut.press(ctrlShift);
    shortcut.press(ctrlShift);
    EXPECT_TRUE(waitFor([&] { return shows.size() == 3; }));
}

TEST_F(HotkeyManagerTest, PressIsIgnoredWhenModifiersChangedOrHotkeysAreOff)
{
    HotkeyManager manager(shortcut, &configuration);
    QSignalSpy shows(&manager, &HotkeyManager::showQuickAccessRequested);

    // The press is decided from the event loop, with the modifiers held by then.
    shortcut.press(ctrlShift);
    shortcut.held = Qt::ShiftModifier;
    QCoreApplication::processEvents();
    shortcut.press(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    QCoreApplication::processEvents();

    configure(hotkey::defaultHotkey, false);
    shortcut.press(ctrlShift);
    QCoreApplication::processEvents();
    EXPECT_EQ(shows.size(), 0);

    configure(hotkey::defaultHotkey, true);
    shortcut.press(ctrlShift);
    EXPECT_TRUE(waitFor([&] { return shows.size() == 1; }));
}

TEST_F(HotkeyManagerTest, ADesktopThatKeepsKeysGetsTheBindingToMakeNotAFailure)
{
    DesktopBoundShortcut desktopBound;
    configure(QStringLiteral("ctrl+opt+k"), true);
    HotkeyManager manager(desktopBound, &configuration);
    EXPECT_FALSE(manager.isRegistered());
    EXPECT_EQ(manager.desktopBoundHotkey(), QStringLiteral("ctrl+opt+k"));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral(
                               "ℹ️ This desktop does not let programs take keys: bind `snipbrook popup` to Super+Alt+K "
                               "in the compositor (for sway: bindsym mod4+mod1+k exec snipbrook popup)")});

    // The binding to make follows the settings, and none is asked for once hot keys are off.
    configure(hotkey::defaultHotkey, true);
    manager.updateHotkey(hotkey::defaultHotkey);
    EXPECT_TRUE(log.lines().last().contains(QStringLiteral("(for sway: bindsym ctrl+shift+space exec snipbrook popup)")));
    manager.setHotkeyEnabled(false);
    EXPECT_EQ(manager.desktopBoundHotkey(), std::nullopt);
    EXPECT_EQ(log.count(QStringLiteral("❌")), 0);
}
