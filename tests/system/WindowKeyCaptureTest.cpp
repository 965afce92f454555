#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"
#include "system/WindowKeyCapture.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalSpy>

#include <optional>
#include <tuple>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// The focused widget of the settings window.
class FocusedWidget : public QObject {
public:
    int keyEvents = 0;
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease
            || event->type() == QEvent::ShortcutOverride)
            ++keyEvents;
        return QObject::event(event);
    }
};

QKeyEvent keyEvent(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString &text = {},
                   quint32 scanCode = 0, quint32 keysym = 0)
{
    return QKeyEvent(type, key, modifiers, scanCode, keysym, 0, text);
}

class WindowKeyCaptureTest : public ::testing::Test {
protected:
    // Through the application's event filters, as the window system delivers it.
    bool send(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
    {
        QKeyEvent event = keyEvent(type, key, modifiers, text);
        QCoreApplication::sendEvent(&widget, &event);
        return event.isAccepted();
    }

    FocusedWidget widget;
    WindowKeyCapture capture;
};

} // namespace

TEST_F(WindowKeyCaptureTest, ARecordingSwallowsOurWindowsKeysAndGivesTheLetterNotItsControlCharacter)
{
    HotkeyRecorder recorder(&capture, QStringLiteral("ctrl+opt+k"));
    QSignalSpy accepted(&recorder, &HotkeyRecorder::hotkeyAccepted);
    recorder.startRecording();
    ASSERT_TRUE(capture.isCapturing());

    send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    send(QEvent::KeyPress, Qt::Key_Shift, ctrlShift);
    EXPECT_EQ(recorder.currentModifiers(), hotkey::cmdMask | hotkey::shiftMask);
    // Control+Shift+K types a control character; the key's own letter is what counts.
    send(QEvent::KeyPress, Qt::Key_K, ctrlShift, QStringLiteral("\x0b"));
    EXPECT_EQ(accepted.size(), 1);
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("shift+cmd+k"));
    EXPECT_EQ(widget.keyEvents, 0);

    // The recording is over: keys belong to the window again.
    EXPECT_FALSE(capture.isCapturing());
    send(QEvent::KeyRelease, Qt::Key_K, ctrlShift);
    EXPECT_EQ(widget.keyEvents, 1);
}

TEST(WindowKeyCaptureKeys, ShiftedDigitsAndSidedModifiersAreRecordedAsTheKeyNotWhatItTyped)
{
    using Key = std::tuple<std::optional<quint16>, QString, Qt::KeyboardModifiers>;
    const auto captured = [](int key, Qt::KeyboardModifiers modifiers, const char *text, quint32 scanCode = 0,
                             quint32 keysym = 0) {
        const CapturedKey got = WindowKeyCapture::capturedKey(
            keyEvent(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text), scanCode, keysym));
        return Key(got.keyCode, got.text, got.modifiers);
    };
    // Shift+1 reaches the window as "!"; the digit row's scan code gives the digit back.
    EXPECT_EQ(captured(Qt::Key_Exclam, ctrlShift, "!", 10), Key(std::nullopt, "1", ctrlShift));
    EXPECT_EQ(captured(Qt::Key_A, Qt::ShiftModifier, "A"), Key(std::nullopt, "a", Qt::ShiftModifier));
    EXPECT_EQ(captured(Qt::Key_Space, ctrlShift, " "), Key(49, "", ctrlShift));
    EXPECT_EQ(captured(Qt::Key_F5, Qt::KeypadModifier, ""), Key(96, "", Qt::NoModifier));
    // Modifier keys by their side, not counting themselves among the held modifiers.
    EXPECT_EQ(captured(Qt::Key_Control, ctrlShift, "", 0, 0xffe3), Key(55, "", Qt::ShiftModifier));
    EXPECT_EQ(captured(Qt::Key_Control, Qt::ControlModifier, "", 0, 0xffe4), Key(54, "", Qt::NoModifier));
}

TEST_F(WindowKeyCaptureTest, NoShortcutFiresWhileCapturingAndModifierReleasesAreReported)
{
    QSignalSpy modifiers(&capture, &KeyCapture::modifiersChanged);
    QSignalSpy presses(&capture, &KeyCapture::keyPressed);
    ASSERT_TRUE(capture.start());

    // Accepting the override is what keeps the shortcut map from acting on the key.
    EXPECT_TRUE(send(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier));
    send(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier);
    send(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    ASSERT_EQ(modifiers.size(), 2);
    EXPECT_EQ(modifiers[0][0].value<Qt::KeyboardModifiers>(), Qt::AltModifier);
    EXPECT_EQ(modifiers[1][0].value<Qt::KeyboardModifiers>(), Qt::NoModifier);
    // The modifier's press is passed on (the recorder ignores it), its release is not; nor are
    // the repeats of a held key.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&widget, &repeat);
    EXPECT_EQ(presses.size(), 1);
    EXPECT_EQ(widget.keyEvents, 0);

    capture.stop();
    send(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(widget.keyEvents, 1);
}

TEST_F(WindowKeyCaptureTest, AnotherWindowTakingTheFocusEndsTheRecording)
{
    HotkeyRecorder recorder(&capture, QStringLiteral("ctrl+opt+k"));
    QSignalSpy lost(&capture, &KeyCapture::captureLost);
    recorder.startRecording();

    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QCoreApplication::sendEvent(qApp, &inactive);
    EXPECT_EQ(lost.size(), 1);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(capture.isCapturing());

    send(QEvent::KeyPress, Qt::Key_K, ctrlShift);
    EXPECT_EQ(widget.keyEvents, 1);
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("ctrl+opt+k"));
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
