#include "capture/HistoryFixture.h"
#include "support/FakeActiveWindow.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakeNotifier.h"
#include "system/PasteController.h"

#include <QSignalSpy>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

const KeyChord controlV{Qt::ControlModifier, Qt::Key_V};
const KeyChord controlShiftV{Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_V};
const KeyChord shiftInsert{Qt::ShiftModifier, Qt::Key_Insert};

// Bounds long enough that a test only sees them run out when it waits for that on purpose.
constexpr PasteTimings patient{60000, 60000, 1};
constexpr PasteTimings hasty{10, 10, 1};

class PasteControllerTest : public HistoryFixture {
protected:
    void SetUp() override { create(); }
    void TearDown() override
    {
        controller.reset();
        HistoryFixture::TearDown();
    }

    PasteController &make(PasteTimings pasteTimings = patient)
    {
        controller = std::make_unique<PasteController>(*history, pasteboard, keys, windows, notifier, pasteTimings);
        QObject::connect(controller.get(), &PasteController::finished, [this](bool sent) { outcomes.append(sent); });
        return *controller;
    }
    bool waitForOutcome() { return waitFor([&] { return !outcomes.isEmpty(); }); }
    // The controller has looked at the keys a few times since now without sending.
    bool pollsWithoutSending()
    {
        const int before = keys.modifierQueries;
        return waitFor([&] { return keys.modifierQueries >= before + 5; }) && keys.sent.isEmpty();
    }

    FakeKeySynthesizer keys;
    FakeActiveWindow windows;
    FakeNotifier notifier;
    std::unique_ptr<PasteController> controller;
    QList<bool> outcomes;
};

TEST(PasteKeystrokeTest, TerminalsGetTheirOwnPasteKeyAndEverythingElseControlV)
{
    const auto chordFor = [](const char *instance, const char *windowClass) {
        return pasteChord(pasteStyleFor(WindowIdentity{1, QString::fromLatin1(instance), QString::fromLatin1(windowClass)}));
    };
    EXPECT_EQ(chordFor("gnome-terminal-server", "Gnome-terminal"), controlShiftV);
    EXPECT_EQ(chordFor("konsole", "konsole"), controlShiftV);
    EXPECT_EQ(chordFor("Alacritty", "Alacritty"), controlShiftV);
    EXPECT_EQ(chordFor("kitty", "kitty"), controlShiftV);
    EXPECT_EQ(chordFor("st-256color", "St"), controlShiftV);
    EXPECT_EQ(chordFor("xfce4-terminal", "Xfce4-terminal"), controlShiftV);
    EXPECT_EQ(chordFor("org.wezfurlong.wezterm", "org.wezfurlong.wezterm"), controlShiftV);
    EXPECT_EQ(chordFor("xterm", "XTerm"), shiftInsert);
    EXPECT_EQ(chordFor("urxvt", "URxvt"), shiftInsert);
    // Names that merely contain "term" are no terminals.
    EXPECT_EQ(chordFor("libreoffice", "terminal-notes"), controlV);
    EXPECT_EQ(chordFor("Navigator", "firefox"), controlV);
    EXPECT_EQ(chordFor("", ""), controlV);
    EXPECT_EQ(pasteChord(pasteStyleFor(std::nullopt)), controlV);
}

TEST(PasteKeystrokeTest, TerminalsOnWaylandAreKnownByTheirAppIds)
{
    // On Wayland both parts of the class are the window's app id.
    const auto chordFor = [](const char *appId) {
        const QString id = QString::fromLatin1(appId);
        return pasteChord(pasteStyleFor(WindowIdentity{1, id, id}));
    };
    for (const char *terminal : {"foot", "footclient", "org.gnome.Terminal", "org.gnome.Console", "org.gnome.Ptyxis",
                                 "org.kde.konsole", "org.kde.yakuake", "kitty", "Alacritty", "org.wezfurlong.wezterm",
                                 "com.mitchellh.ghostty", "com.system76.CosmicTerm", "dev.warp.Warp"})
        EXPECT_EQ(chordFor(terminal), controlShiftV) << terminal;
    EXPECT_EQ(chordFor("org.gnome.TextEditor"), controlV);
    EXPECT_EQ(chordFor("firefox"), controlV);
}

TEST_F(PasteControllerTest, PastesIntoTheWindowRememberedAtTheLastOpeningNotTheOneInFront)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget(); // the tray icon opened the panel
    windows.open(2, QStringLiteral("mail"), QStringLiteral("Mail"));
    paste.rememberTarget(); // later the shortcut did, over another window
    windows.open(3, QStringLiteral("other"), QStringLiteral("Other"));
    ASSERT_EQ(paste.target()->id, 2u);
    windows.open(4, QStringLiteral("snipbrook"), QStringLiteral("Snipbrook"));
    paste.rememberTarget(); // opened over our own main window: the window before it stays
    windows.open(3, QStringLiteral("other"), QStringLiteral("Other"));
    ASSERT_EQ(paste.target()->id, 2u);

    QSignalSpy switching(&paste, &PasteController::switchingBack);
    const ClipboardItem item = makeItem(Type::text, QStringLiteral("hello"));
    paste.paste(item);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(outcomes, QList<bool>{true});
    EXPECT_EQ(windows.requests, QList<quint64>{2});
    EXPECT_EQ(keys.sent, QList<KeyChord>{controlV});
    EXPECT_EQ(pasteboard.contents().text, item.content);
    EXPECT_EQ(switching.count(), 1);
    EXPECT_EQ(notifier.titles(), QStringList{QStringLiteral("Pasted")});
}

TEST_F(PasteControllerTest, KeystrokeWaitsUntilTheWindowIsActiveAndModifiersAreReleased)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget();
    windows.open(2, QStringLiteral("other"), QStringLiteral("Other"));
    windows.switchOnRequest = false;
    keys.held = Qt::ShiftModifier; // still down after Shift+Return

    paste.paste(makeItem(Type::text, QStringLiteral("hello")));
    ASSERT_TRUE(waitFor([&] { return !windows.requests.isEmpty(); }));
    EXPECT_TRUE(pollsWithoutSending());
    windows.active = 1;
    EXPECT_TRUE(pollsWithoutSending()) << "Shift is still held";
    keys.held = Qt::NoModifier;
    windows.active = 2;
    EXPECT_TRUE(pollsWithoutSending()) << "the window is no longer active";
    windows.active = 1;
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(keys.sent, QList<KeyChord>{controlV});
    EXPECT_EQ(keys.heldWhenSent, QList<Qt::KeyboardModifiers>{Qt::NoModifier});
}

TEST_F(PasteControllerTest, BoundsRunningOutStillSendTheKeystrokeOnceAndAskForTheWindowAgain)
{
    PasteController &paste = make(hasty);
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget();
    windows.open(2, QStringLiteral("other"), QStringLiteral("Other"));
    windows.switchOnRequest = false;
    keys.held = Qt::ControlModifier;

    paste.paste(makeItem(Type::text, QStringLiteral("hello")));
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(outcomes, QList<bool>{true});
    EXPECT_EQ(keys.sent, QList<KeyChord>{controlV});
    EXPECT_EQ(windows.requests, (QList<quint64>{1, 1}));
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Pasting without waiting longer: Editor is not active yet")), 1);
}

TEST_F(PasteControllerTest, TerminalsGetControlShiftVAndXtermGetsThePrimarySelectionWithShiftInsert)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("gnome-terminal-server"), QStringLiteral("Gnome-terminal"));
    paste.rememberTarget();
    paste.paste(makeItem(Type::code, QStringLiteral("ls -la")));
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(keys.sent, QList<KeyChord>{controlShiftV});
    EXPECT_FALSE(pasteboard.primaryText);

    outcomes.clear();
    windows.open(2, QStringLiteral("xterm"), QStringLiteral("XTerm"));
    paste.rememberTarget();
    const ClipboardItem item = makeItem(Type::text, QStringLiteral("make test"));
    paste.paste(item);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(keys.sent, (QList<KeyChord>{controlShiftV, shiftInsert}));
    EXPECT_EQ(pasteboard.primaryText, item.content);
    EXPECT_EQ(pasteboard.contents().text, item.content);

    // An image has no text for the primary selection: copied, not pasted.
    outcomes.clear();
    pasteboard.primaryText.reset();
    paste.paste(makeItem(Type::image, QStringLiteral("iVBORw0KGgo=")));
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(outcomes, QList<bool>{false});
    EXPECT_EQ(keys.sent.size(), 2);
    EXPECT_FALSE(pasteboard.primaryText);
}

TEST_F(PasteControllerTest, WithoutKeySynthesisTheItemIsCopiedAndTheUserToldWhy)
{
    keys.available = false;
    PasteController &paste = make();
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget();
    const ClipboardItem item = makeItem(Type::text, QStringLiteral("by hand"));
    paste.paste(item);
    ASSERT_TRUE(waitFor([&] { return pasteboard.contents().text == item.content; }));
    EXPECT_EQ(outcomes, QList<bool>{false});
    EXPECT_TRUE(keys.sent.isEmpty());
    EXPECT_TRUE(windows.requests.isEmpty());
    ASSERT_EQ(notifier.posted.size(), 1);
    EXPECT_EQ(notifier.posted[0].first, QStringLiteral("Permission needed"));
    // The platform words the advice: X11 and Wayland need different things.
    EXPECT_EQ(notifier.posted[0].second, keys.unavailableAdvice());
}

TEST_F(PasteControllerTest, AWindowThatClosedGetsNoKeystrokeAndTheCopyStays)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget();
    windows.open(2, QStringLiteral("chat"), QStringLiteral("Chat"));
    windows.close(1);
    const ClipboardItem item = makeItem(Type::text, QStringLiteral("secret-ish"));
    paste.paste(item);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(outcomes, QList<bool>{false});
    EXPECT_TRUE(keys.sent.isEmpty()) << "the keystroke would land in another window";
    EXPECT_EQ(pasteboard.contents().text, item.content);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ The window to paste into has closed")), 1);
    EXPECT_EQ(notifier.titles(), QStringList{QStringLiteral("Copied")});

    // Closing while the paste waits for it ends the same way.
    outcomes.clear();
    PasteController &late = make(hasty);
    windows.open(3, QStringLiteral("editor"), QStringLiteral("Editor"));
    late.rememberTarget();
    windows.open(4, QStringLiteral("chat"), QStringLiteral("Chat"));
    windows.switchOnRequest = false;
    late.paste(item);
    ASSERT_TRUE(waitFor([&] { return windows.requests.contains(3); }));
    windows.close(3);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(outcomes, QList<bool>{false});
    EXPECT_TRUE(keys.sent.isEmpty());
}

TEST_F(PasteControllerTest, WithNothingRememberedTheWindowInFrontGetsItsOwnKeystroke)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("kitty"), QStringLiteral("kitty"));
    paste.paste(makeItem(Type::text, QStringLiteral("echo hi")));
    ASSERT_TRUE(waitForOutcome());
    EXPECT_TRUE(windows.requests.isEmpty());
    EXPECT_EQ(keys.sent, QList<KeyChord>{controlShiftV});
}

TEST_F(PasteControllerTest, ASecondPasteReplacesOneStillWaitingAndOnlyItsKeystrokeGoes)
{
    PasteController &paste = make();
    windows.open(1, QStringLiteral("editor"), QStringLiteral("Editor"));
    paste.rememberTarget();
    keys.held = Qt::ShiftModifier;
    paste.paste(makeItem(Type::text, QStringLiteral("first")));
    ASSERT_TRUE(waitFor([&] { return paste.isPasting(); }));
    const ClipboardItem second = makeItem(Type::text, QStringLiteral("second"));
    paste.paste(second);
    ASSERT_TRUE(waitFor([&] { return paste.isPasting() && pasteboard.contents().text == second.content; }));
    keys.held = Qt::NoModifier;
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(keys.sent.size(), 1);
    EXPECT_EQ(pasteboard.contents().text, second.content);

    // A controller gone before its copy completes does nothing afterwards.
    paste.paste(makeItem(Type::text, QStringLiteral("third")));
    controller.reset();
    ASSERT_TRUE(waitFor([&] { return pasteboard.contents().text == QStringLiteral("third"); }));
    EXPECT_EQ(keys.sent.size(), 1);
}

} // namespace
