#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"
#include "ui/HotkeyRecorderField.h"

#include <QImage>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace snipbrook;
using namespace snipbrook::hotkey;

namespace {

struct AlertCall {
    QString title;
    QString message;
};

class HotkeyRecorderFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view->setAlert([this](QWidget *, const QString &title, const QString &message) {
            alerts.append({title, message});
        });
        view->show();
    }

    QImage drawn() const { return view->field()->grab().toImage(); }

    HotkeyRecorder recorder{QStringLiteral("shift+cmd+space")};
    std::unique_ptr<HotkeyRecorderField> view = std::make_unique<HotkeyRecorderField>(&recorder);
    QList<AlertCall> alerts;
};

} // namespace

TEST(HotkeyKeyCaps, ReadInThisDesktopsWordsEvenForKeysTheParserLacks)
{
    EXPECT_EQ(HotkeyRecorderField::keyCaps(QStringLiteral("shift+cmd+space")), QStringList({"Ctrl", "Shift", "Space"}));
    EXPECT_EQ(HotkeyRecorderField::keyCaps(QStringLiteral("ctrl+opt+k")), QStringList({"Super", "Alt", "K"}));
    EXPECT_EQ(HotkeyRecorderField::keyCaps(QStringLiteral("shift+cmd+ö")), QStringList({"Shift", "Ctrl", "Ö"}));
    EXPECT_EQ(HotkeyRecorderField::keyCaps(QString()), QStringList());
    EXPECT_EQ(HotkeyRecorderField::modifierText(shiftMask | cmdMask | controlMask), QStringLiteral("Ctrl+Super+Shift"));
    EXPECT_EQ(HotkeyRecorderField::modifierText(0), QString());
}

TEST_F(HotkeyRecorderFieldTest, ClickStartsRecordingAndTheFieldShowsIt)
{
    EXPECT_EQ(view->field()->accessibleName(), QStringLiteral("Global Search Hotkey"));
    EXPECT_EQ(view->field()->accessibleDescription(), QStringLiteral("Ctrl+Shift+Space"));
    const QImage idle = drawn();
    QTest::mouseClick(view->field(), Qt::LeftButton);
    ASSERT_TRUE(recorder.isRecording());
    EXPECT_NE(drawn(), idle);
    EXPECT_FALSE(view->clearButton()->isVisible());

    recorder.recordModifiersChanged(cmdMask | shiftMask);
    EXPECT_EQ(view->field()->accessibleDescription(), QStringLiteral("Press keys... Ctrl+Shift"));
    recorder.recordKeyPress({std::nullopt, QStringLiteral("k"), Qt::ControlModifier | Qt::AltModifier});
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("opt+cmd+k"));
    EXPECT_EQ(view->field()->accessibleDescription(), QStringLiteral("Ctrl+Alt+K"));
    EXPECT_TRUE(view->clearButton()->isVisible());
    EXPECT_TRUE(alerts.isEmpty());

    // Space on the focused field starts recording too.
    view->field()->setFocus();
    QTest::keyClick(view->field(), Qt::Key_Space);
    EXPECT_TRUE(recorder.isRecording());
}

TEST_F(HotkeyRecorderFieldTest, RejectionRaisesTheAlertAndKeepsTheValue)
{
    QTest::mouseClick(view->field(), Qt::LeftButton);
    recorder.recordKeyPress({std::nullopt, QStringLiteral("v"), {}});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, QStringLiteral("Invalid Hotkey"));
    EXPECT_EQ(alerts[0].message, QStringLiteral("Hotkey must include at least one modifier key (⌘, ⌃, ⌥, or ⇧)"));
    EXPECT_EQ(recorder.hotkeyString(), QStringLiteral("shift+cmd+space"));
    EXPECT_FALSE(recorder.isRecording());
}

TEST_F(HotkeyRecorderFieldTest, ClearButtonEmptiesTheValueAndHides)
{
    QToolButton *clear = view->clearButton();
    EXPECT_EQ(clear->toolTip(), QStringLiteral("Clear hotkey"));
    EXPECT_EQ(clear->accessibleName(), QStringLiteral("Clear hotkey"));
    ASSERT_TRUE(clear->isVisible());
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(recorder.hotkeyString(), QString());
    EXPECT_FALSE(clear->isVisible());
    EXPECT_EQ(view->field()->accessibleDescription(), QStringLiteral("Click to set"));
}

TEST_F(HotkeyRecorderFieldTest, ClosingOrDestroyingTheViewEndsTheRecording)
{
    QTest::mouseClick(view->field(), Qt::LeftButton);
    view->hide();
    EXPECT_FALSE(recorder.isRecording());

    view->show();
    QTest::mouseClick(view->field(), Qt::LeftButton);
    ASSERT_TRUE(recorder.isRecording());
    view.reset();
    EXPECT_FALSE(recorder.isRecording());
}
