#include "X11TestEnvironment.h"
#include "platform/linux/X11KeyCapture.h"
#include "platform/linux/XcbConnection.h"
#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

bool xdotool(const QStringList &arguments)
{
    const std::optional<ProcessResult> result = runProcess(QStringLiteral("xdotool"), arguments);
    return result && result->exitCode == 0;
}

class X11KeyCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(capture.isConnected());
    }

    // Another client's active keyboard grab: granted only when nobody holds the keyboard.
    bool otherClientGrabsKeyboard()
    {
        xcb_connection_t *c = other.get();
        xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
            c, xcb_grab_keyboard(c, 0, other.root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr);
        const bool granted = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        return granted;
    }
    void otherClientUngrabs()
    {
        xcb_ungrab_keyboard(other.get(), XCB_CURRENT_TIME);
        std::free(xcb_get_input_focus_reply(other.get(), xcb_get_input_focus(other.get()), nullptr));
    }

    X11KeyCapture capture;
    HotkeyRecorder recorder{&capture, QStringLiteral("shift+cmd+space")};
    XcbConnection other;
};

} // namespace

TEST_F(X11KeyCaptureTest, CtrlAltKPressedAnywhereIsRecordedAndTheKeyboardIsGivenBack)
{
    QSignalSpy accepted(&recorder, &HotkeyRecorder::hotkeyAccepted);
    recorder.startRecording();
    ASSERT_TRUE(capture.isCapturing());
    // While recording, nobody else gets the keyboard.
    EXPECT_FALSE(otherClientGrabsKeyboard());

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+k")}));
    ASSERT_TRUE(waitFor([&] { return !accepted.isEmpty(); }));
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("opt+cmd+k"));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(otherClientGrabsKeyboard());
    otherClientUngrabs();
}

TEST_F(X11KeyCaptureTest, HeldModifiersShowLiveNamedKeysKeepTheirNamesAndPlainEscapeCancels)
{
    recorder.startRecording();
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("shift")}));
    EXPECT_TRUE(waitFor([&] { return recorder.currentModifiers() == hotkey::shiftMask; }));
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("shift")}));
    EXPECT_TRUE(waitFor([&] { return recorder.currentModifiers() == 0; }));
    EXPECT_TRUE(recorder.isRecording());

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+F5")}));
    EXPECT_TRUE(waitFor([&] { return !recorder.isRecording(); }));
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("ctrl+f5"));

    recorder.startRecording();
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(waitFor([&] { return !recorder.isRecording(); }));
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("ctrl+f5"));
    EXPECT_FALSE(capture.isCapturing());
}

TEST_F(X11KeyCaptureTest, LetterKeysAreNamedByTheCurrentLayout)
{
    if (QStandardPaths::findExecutable(QStringLiteral("setxkbmap")).isEmpty())
        GTEST_SKIP() << "setxkbmap is not installed";
    const std::optional<ProcessResult> russian = runProcess(QStringLiteral("setxkbmap"), {QStringLiteral("ru")});
    ASSERT_TRUE(russian && russian->exitCode == 0);
    recorder.startRecording();
    const bool pressed = xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+Cyrillic_ka")});
    const bool recorded = pressed && waitFor([&] { return !recorder.isRecording(); });
    runProcess(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("opt+cmd+к"));
}

TEST_F(X11KeyCaptureTest, KeyboardHeldByAnotherProgramEndsTheRecordingWithAWarning)
{
    DiagnosticsCapture log;
    ASSERT_TRUE(otherClientGrabsKeyboard());
    QSignalSpy lost(&capture, &KeyCapture::captureLost);
    recorder.startRecording();
    otherClientUngrabs();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(capture.isCapturing());
    EXPECT_EQ(lost.size(), 1);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Could not take the keyboard to record a shortcut")), 1);
}
