#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"
#include "support/FakeKeyCapture.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace snipbrook::hotkey;

namespace {

const QString modifierMessage = QStringLiteral("Hotkey must include at least one modifier key (⌘, ⌃, ⌥, or ⇧)");
const QString mainKeyMessage = QStringLiteral("Hotkey must have exactly one main key");
const QString systemMessage =
    QStringLiteral("This hotkey conflicts with a system shortcut. Please choose a different combination.");

constexpr quint16 escapeCode = 53;
constexpr quint16 leftShiftCode = 56;

// Qt's names: Control is "cmd", Meta (Super) "ctrl", Alt "opt".
constexpr Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

CapturedKey character(const QString &text, Qt::KeyboardModifiers modifiers = {}) { return {std::nullopt, text, modifiers}; }
CapturedKey named(quint16 code, Qt::KeyboardModifiers modifiers = {}) { return {code, QString(), modifiers}; }

} // namespace

TEST(BuildHotkeyString, WritesModifierWordsInTheFixedOrderBeforeTheKey)
{
    EXPECT_EQ(HotkeyRecorder::buildHotkeyString(cmdMask | shiftMask, QStringLiteral("v")), QStringLiteral("shift+cmd+v"));
    EXPECT_EQ(HotkeyRecorder::buildHotkeyString(controlMask | optionMask, QStringLiteral("space")),
              QStringLiteral("ctrl+opt+space"));
    EXPECT_EQ(HotkeyRecorder::buildHotkeyString(cmdMask | shiftMask | optionMask | controlMask, QStringLiteral("K")),
              QStringLiteral("ctrl+opt+shift+cmd+k"));
    // The parser reads back what the recorder writes.
    EXPECT_EQ(parseHotkeyString(QStringLiteral("shift+cmd+v")), (Hotkey{9, cmdMask | shiftMask}));
    // A nameless key gives the modifiers alone, or nothing.
    EXPECT_EQ(HotkeyRecorder::buildHotkeyString(shiftMask | cmdMask, std::nullopt), QStringLiteral("shift+cmd"));
    EXPECT_EQ(HotkeyRecorder::buildHotkeyString(0, QString()), std::nullopt);
}


TEST(KeyName, NamedCodesWinAndOnlyPrintableCharactersNameOtherKeys)
{
    EXPECT_EQ(HotkeyRecorder::keyName(named(49)), QStringLiteral("space"));
    EXPECT_EQ(HotkeyRecorder::keyName(named(117)), QStringLiteral("forwarddelete"));
    EXPECT_EQ(HotkeyRecorder::keyName({111, QStringLiteral("x"), {}}), QStringLiteral("f12"));
    EXPECT_EQ(HotkeyRecorder::keyName(character(QStringLiteral("ö"))), QStringLiteral("ö"));
    EXPECT_EQ(HotkeyRecorder::keyName(character(QStringLiteral("\r"))), std::nullopt);
    EXPECT_EQ(HotkeyRecorder::keyName(character(QStringLiteral("abcde"))), std::nullopt);
}

TEST(ValidateHotkey, FirstFailingRuleGivesItsMessage)
{
    using Result = std::pair<bool, QString>;
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("v")), (Result{false, modifierMessage}));
    // Aliases the parser knows are not modifier words here.
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("alt+v")), (Result{false, modifierMessage}));
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("shift+cmd")), (Result{false, mainKeyMessage}));
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("cmd+a+b")), (Result{false, mainKeyMessage}));
    // Rule 2 comes before rule 3: "cmd+q+w" is not reported as a system shortcut.
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("cmd+q+w")), (Result{false, mainKeyMessage}));
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("cmd+q")), (Result{false, systemMessage}));
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("shift+cmd+v")), (Result{true, QString()}));
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("+shift++cmd+space+")), (Result{true, QString()}));
    // Near misses of reserved entries are free: another modifier set or another key.
    EXPECT_TRUE(HotkeyRecorder::validateHotkey(QStringLiteral("shift+cmd+q")).first);
    EXPECT_TRUE(HotkeyRecorder::validateHotkey(QStringLiteral("cmd+l")).first);
}

TEST(ValidateHotkey, EveryReservedShortcutIsRejectedWhateverTheOrderOfItsWords)
{
    const QStringList reserved{
        "cmd+space", "cmd+tab", "cmd+q", "cmd+w", "cmd+c", "cmd+v", "cmd+x", "cmd+z", "shift+cmd+z",
        "cmd+a", "cmd+s", "cmd+n", "cmd+o", "cmd+p", "cmd+f", "cmd+g", "shift+cmd+g", "cmd+h", "cmd+m",
        "cmd+opt+h", "cmd+shift+3", "cmd+shift+4", "cmd+shift+5", "ctrl+up", "ctrl+down", "ctrl+left",
        "ctrl+right",
        "opt+tab", "opt+shift+tab", "opt+f4", "opt+f2", "opt+space", "opt+cmd+forwarddelete",
        "opt+cmd+delete", "opt+cmd+t", "opt+cmd+l", "opt+cmd+left", "opt+cmd+right", "opt+cmd+up",
        "opt+cmd+down", "ctrl+l", "ctrl+d", "ctrl+tab", "ctrl+space",
    };
    for (const QString &entry : reserved) {
        QStringList pieces = entry.split(QLatin1Char('+'));
        std::sort(pieces.begin(), pieces.end());
        do {
            const QString shuffled = pieces.join(QLatin1Char('+'));
            EXPECT_EQ(HotkeyRecorder::validateHotkey(shuffled).second, systemMessage) << shuffled.toStdString();
        } while (std::next_permutation(pieces.begin(), pieces.end()));
    }
    // As recorded: Ctrl+Alt+H, Ctrl+Shift+3.
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("opt+cmd+h")).second, systemMessage);
    EXPECT_EQ(HotkeyRecorder::validateHotkey(QStringLiteral("shift+cmd+3")).second, systemMessage);
}

class HotkeyRecordingTest : public ::testing::Test {
protected:
    // Starts a recording and checks the keyboard was taken for it.
    void start()
    {
        recorder->startRecording();
        ASSERT_TRUE(recorder->isRecording());
        ASSERT_TRUE(capture.isCapturing());
    }

    FakeKeyCapture capture;
    std::unique_ptr<HotkeyRecorder> recorder =
        std::make_unique<HotkeyRecorder>(&capture, QStringLiteral("shift+cmd+space"));
    QSignalSpy accepted{recorder.get(), &HotkeyRecorder::hotkeyAccepted};
    QSignalSpy rejected{recorder.get(), &HotkeyRecorder::hotkeyRejected};
};

TEST_F(HotkeyRecordingTest, AValidPressBecomesTheValueAndGivesTheKeyboardBack)
{
    start();
    capture.press(character(QStringLiteral("V"), ctrlShift));
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+v"));
    EXPECT_EQ(accepted.size(), 1);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(capture.isCapturing());
    EXPECT_TRUE(rejected.isEmpty());
}

TEST_F(HotkeyRecordingTest, PlainEscapeCancelsButShiftEscapeIsRecorded)
{
    start();
    capture.press(named(escapeCode));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(capture.isCapturing());
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+space"));
    EXPECT_TRUE(accepted.isEmpty() && rejected.isEmpty());

    start();
    capture.press(named(escapeCode, Qt::ShiftModifier));
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+escape"));
    EXPECT_FALSE(recorder->isRecording());
}

TEST_F(HotkeyRecordingTest, ModifiersAloneKeepRecordingAndOnlyChangeTheLiveDisplay)
{
    QSignalSpy modifiers(recorder.get(), &HotkeyRecorder::currentModifiersChanged);
    start();
    capture.changeModifiers(Qt::ShiftModifier | Qt::KeypadModifier); // Keypad is no hot key modifier
    capture.press(named(leftShiftCode, Qt::ShiftModifier));
    EXPECT_EQ(recorder->currentModifiers(), shiftMask);
    capture.changeModifiers({});
    EXPECT_EQ(recorder->currentModifiers(), 0u);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(modifiers.size(), 2);
    EXPECT_TRUE(accepted.isEmpty() && rejected.isEmpty());

    // Stopping forgets the held modifiers.
    capture.changeModifiers(Qt::ControlModifier);
    recorder->stopRecording();
    EXPECT_EQ(recorder->currentModifiers(), 0u);
}

TEST_F(HotkeyRecordingTest, RejectionKeepsTheOldValueAndEndsTheRecording)
{
    start();
    capture.press(character(QStringLiteral("v")));
    ASSERT_EQ(rejected.size(), 1);
    EXPECT_EQ(rejected.at(0).at(0).toString(), modifierMessage);
    EXPECT_EQ(recorder->validationMessage(), modifierMessage);
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+space"));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(capture.isCapturing());

    start();
    capture.press(named(48, Qt::ControlModifier)); // Ctrl+Tab
    EXPECT_EQ(recorder->validationMessage(), systemMessage);
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+space"));
    EXPECT_TRUE(accepted.isEmpty());
}

TEST_F(HotkeyRecordingTest, NamelessKeyKeepsRecordingUnlessModifiersAreHeld)
{
    start();
    capture.press(character(QString()));
    capture.press(character(QStringLiteral("\t")));
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(rejected.isEmpty());

    capture.press(character(QString(), Qt::ControlModifier | Qt::AltModifier));
    ASSERT_EQ(rejected.size(), 1);
    EXPECT_EQ(rejected.at(0).at(0).toString(), mainKeyMessage);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+space"));
}

TEST_F(HotkeyRecordingTest, SecondStartIsIgnoredAndKeysOutsideARecordingChangeNothing)
{
    recorder->recordKeyPress(character(QStringLiteral("k"), Qt::ControlModifier));
    recorder->recordModifiersChanged(cmdMask);
    EXPECT_EQ(recorder->currentModifiers(), 0u);
    EXPECT_TRUE(accepted.isEmpty());

    QSignalSpy recording(recorder.get(), &HotkeyRecorder::recordingChanged);
    start();
    capture.changeModifiers(Qt::ShiftModifier);
    recorder->startRecording();
    EXPECT_EQ(capture.starts, 1);
    EXPECT_EQ(recording.size(), 1);
    EXPECT_EQ(recorder->currentModifiers(), shiftMask);
}

TEST_F(HotkeyRecordingTest, RefusedOrLostKeyboardEndsTheRecording)
{
    capture.refuse = true;
    recorder->startRecording();
    EXPECT_FALSE(recorder->isRecording());

    capture.refuse = false;
    start();
    capture.lose();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->hotkeyString(), QStringLiteral("shift+cmd+space"));
}

TEST_F(HotkeyRecordingTest, DestroyingTheRecorderGivesTheKeyboardBack)
{
    start();
    recorder.reset();
    EXPECT_FALSE(capture.isCapturing());
    EXPECT_EQ(capture.stops, 1);
}
