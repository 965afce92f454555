#include "X11TestEnvironment.h"
#include "platform/linux/X11GlobalShortcut.h"
#include "platform/linux/XcbConnection.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// Key events as a user makes them, through XTest.
bool xdotool(const QStringList &arguments)
{
    const std::optional<ProcessResult> result = runProcess(QStringLiteral("xdotool"), arguments);
    return result && result->exitCode == 0;
}

class X11GlobalShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(shortcut.isConnected());
    }

    // Presses the combination and tells whether the press reached `target`.
    static bool pressReaches(const QString &combination, X11GlobalShortcut &target)
    {
        QSignalSpy presses(&target, &GlobalShortcut::pressed);
        return xdotool({QStringLiteral("key"), combination}) && waitFor([&] { return !presses.isEmpty(); });
    }

    // The lock and modifier bits the server reports as held now.
    uint16_t serverModifierState()
    {
        xcb_connection_t *c = observer.get();
        xcb_query_pointer_reply_t *reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, observer.root()), nullptr);
        const uint16_t state = reply ? reply->mask : 0;
        std::free(reply);
        return state;
    }

    X11GlobalShortcut shortcut;
    XcbConnection observer;
};

} // namespace

TEST_F(X11GlobalShortcutTest, PressArrivesWhateverTheLockKeysAndFreesTheKeyboardForThePanel)
{
    ASSERT_EQ(shortcut.registerShortcut(Qt::Key_Space, ctrlShift), GlobalShortcut::success);
    EXPECT_TRUE(pressReaches(QStringLiteral("ctrl+shift+space"), shortcut));

    for (const char *lock : {"Num_Lock", "Caps_Lock"}) {
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QString::fromLatin1(lock)}));
        EXPECT_NE(serverModifierState() & (XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK), 0) << lock;
        EXPECT_TRUE(pressReaches(QStringLiteral("ctrl+shift+space"), shortcut)) << lock << " on";
    }
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock")}));

    // While the keys are still down, another window (the panel) can take the keyboard.
    QSignalSpy presses(&shortcut, &GlobalShortcut::pressed);
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+space")}));
    ASSERT_TRUE(waitFor([&] { return !presses.isEmpty(); }));
    xcb_connection_t *c = observer.get();
    xcb_grab_keyboard_reply_t *grab = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, observer.root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->status, XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    EXPECT_EQ(shortcut.heldModifiers(), ctrlShift);
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift+space")}));
    EXPECT_EQ(shortcut.heldModifiers(), Qt::NoModifier);

    // Other combinations pass by: only the press after them arrives.
    QSignalSpy later(&shortcut, &GlobalShortcut::pressed);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+space"), QStringLiteral("ctrl+shift+k"),
                         QStringLiteral("ctrl+alt+shift+space"), QStringLiteral("ctrl+shift+space")}));
    ASSERT_TRUE(waitFor([&] { return !later.isEmpty(); }));
    EXPECT_EQ(later.size(), 1);
}

TEST_F(X11GlobalShortcutTest, CombinationHeldByAnotherClientIsRefusedWithBadAccessAndFreedOnRelease)
{
    X11GlobalShortcut other;
    ASSERT_EQ(other.registerShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier), GlobalShortcut::success);
    EXPECT_EQ(shortcut.registerShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier), 10);

    // Refused, the shortcut still works with a free combination and presses go to the holder.
    ASSERT_EQ(shortcut.registerShortcut(Qt::Key_F5, Qt::ControlModifier), GlobalShortcut::success);
    EXPECT_TRUE(pressReaches(QStringLiteral("ctrl+F5"), shortcut));
    EXPECT_TRUE(pressReaches(QStringLiteral("super+alt+k"), other));

    other.unregisterShortcut();
    EXPECT_EQ(shortcut.registerShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier), GlobalShortcut::success);
    // The replaced combination was released, the same one again stays registered.
    EXPECT_EQ(other.registerShortcut(Qt::Key_F5, Qt::ControlModifier), GlobalShortcut::success);
    other.unregisterShortcut();
    EXPECT_EQ(shortcut.registerShortcut(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier), GlobalShortcut::success);
    EXPECT_TRUE(pressReaches(QStringLiteral("super+alt+k"), shortcut));

    // A shortcut that goes away releases its grab.
    {
        X11GlobalShortcut shortLived;
        ASSERT_EQ(shortLived.registerShortcut(Qt::Key_Return, Qt::ControlModifier), GlobalShortcut::success);
        EXPECT_EQ(other.registerShortcut(Qt::Key_Return, Qt::ControlModifier), 10);
    }
    EXPECT_EQ(other.registerShortcut(Qt::Key_Return, Qt::ControlModifier), GlobalShortcut::success);
}

TEST(X11GlobalShortcut, WithoutADisplayRegistrationFailsAndTheProgramGoesOn)
{
    DiagnosticsCapture log;
    X11GlobalShortcut shortcut(QStringLiteral(":4097"));
    EXPECT_FALSE(shortcut.isConnected());
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No X display for the global shortcut (:4097)")), 1);
    EXPECT_EQ(shortcut.registerShortcut(Qt::Key_Space, ctrlShift), GlobalShortcut::noDisplay);
    EXPECT_EQ(shortcut.heldModifiers(), Qt::NoModifier);
    shortcut.unregisterShortcut();
}
