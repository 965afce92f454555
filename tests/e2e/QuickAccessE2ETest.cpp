// The everyday path on a desktop with a window manager and a tray: the global shortcut pressed
// through XTest opens the panel, typing searches, the arrow keys move, Shift+Return pastes into
// the window that was in front (a Qt text field, an xterm), Escape and a click outside close it.
#include "SnipbrookSession.h"
#include "TextFieldClient.h"
#include "X11TestEnvironment.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QJsonObject>
#include <QPoint>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

using namespace snipbrook::test;

namespace {

constexpr int panelWidth = 396; // QuickAccessPanel::contentSize plus its shadow margins
const QString shortcutFailure = QStringLiteral("❌ Failed to register global hotkey: 10");

// One connection to the test display for the checks of a test.
struct Display {
    xcb_connection_t *c = xcb_connect(testDisplay().toLocal8Bit().constData(), nullptr);
    ~Display() { xcb_disconnect(c); }
    const xcb_screen_t *screen() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }

    xcb_atom_t atom(const char *name) const
    {
        auto *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    QByteArray instanceName(xcb_window_t window) const
    {
        auto *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
        QByteArray name;
        if (reply)
            name = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                              xcb_get_property_value_length(reply))
                       .split('\0')
                       .value(0);
        std::free(reply);
        return name;
    }

    // The panel: a viewable top-level window of the instance with the panel's width.
    xcb_window_t shownPanel() const
    {
        auto *tree = xcb_query_tree_reply(c, xcb_query_tree(c, screen()->root), nullptr);
        xcb_window_t found = 0;
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
                auto *attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
                auto *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
                if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                    geometry->width == panelWidth && instanceName(children[i]) == "snipbrook")
                    found = children[i];
                std::free(attributes);
                std::free(geometry);
            }
        }
        std::free(tree);
        return found;
    }

    QRect geometry(xcb_window_t window) const
    {
        auto *reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        const QRect rect = reply ? QRect(reply->x, reply->y, reply->width, reply->height) : QRect();
        std::free(reply);
        return rect;
    }

    bool selectionOwned(const char *selection) const
    {
        auto *reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(selection)), nullptr);
        const bool owned = reply && reply->owner != XCB_NONE;
        std::free(reply);
        return owned;
    }

    // Whether another client holds the keyboard (asked by trying to take it, and letting go).
    bool keyboardGrabbedElsewhere() const
    {
        auto *reply = xcb_grab_keyboard_reply(c,
                                              xcb_grab_keyboard(c, 0, screen()->root, XCB_CURRENT_TIME,
                                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                              nullptr);
        const bool grabbed = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
        if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS)
            xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_flush(c);
        std::free(reply);
        return grabbed;
    }

    xcb_keycode_t keycode(xcb_keysym_t keysym) const
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto *reply = xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
        xcb_keycode_t code = 0;
        if (reply) {
            const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
            for (int i = 0; i < count * reply->keysyms_per_keycode && !code; ++i)
                if (syms[i] == keysym)
                    code = xcb_keycode_t(setup->min_keycode + i / reply->keysyms_per_keycode);
        }
        std::free(reply);
        return code;
    }
};

bool xdotool(const QStringList &arguments)
{
    const auto result = runProcess(QStringLiteral("xdotool"), arguments);
    return result && result->exitCode == 0;
}

// Held down in one call and let go in the next, as a hand would: the press decision reads the
// modifiers still held after the key event.
bool pressShortcut()
{
    return xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+space")}) &&
           xdotool({QStringLiteral("keyup"), QStringLiteral("space+shift+ctrl")});
}

bool key(const QString &keys) { return xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys}); }

// A chord held down and let go in reverse order, in two calls, as pressShortcut() does.
bool pressChord(const QString &down, const QString &up)
{
    return xdotool({QStringLiteral("keydown"), down}) && xdotool({QStringLiteral("keyup"), up});
}

// The tray host of the display, kept for the whole program once started.
std::unique_ptr<QProcess> trayHost;

bool startTrayHost()
{
    if (trayHost && trayHost->state() == QProcess::Running)
        return true;
    trayHost = std::make_unique<QProcess>();
    trayHost->start(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                     QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
                     QStringLiteral("96"), QStringLiteral("--height"), QStringLiteral("24")});
    if (!trayHost->waitForStarted(5000))
        return false;
    const Display x;
    const QByteArray selection = "_NET_SYSTEM_TRAY_S0";
    return waitFor([&] { return x.selectionOwned(selection.constData()); }, 10000);
}

// A window of another process that prints what lands in its text field.
struct TextField : TextFieldClient {
    quint32 window = 0;

    TextField() : TextFieldClient(std::make_unique<QProcess>()) {}
    bool open()
    {
        window = start({QStringLiteral("Paste target")}).value_or(QByteArray()).toUInt();
        return window != 0 && waitFor([&] { return isManaged(window); }, 10000);
    }
};

// An xterm whose shell copies every byte typed (pasted) into a file, unbuffered.
struct Terminal {
    QTemporaryDir dir;
    QProcess process;
    QString window;

    QString file() const { return dir.filePath(QStringLiteral("typed")); }
    bool open()
    {
        const QString title = QStringLiteral("snipbrook-e2e-terminal");
        process.start(QStringLiteral("xterm"),
                      {QStringLiteral("-T"), title, QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                       QStringLiteral("stty -icanon -echo min 1; exec cat > \"$0\""), file()});
        if (!process.waitForStarted(5000))
            return false;
        const auto found = runProcess(QStringLiteral("xdotool"),
                                      {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--name"), title},
                                      {}, 20000);
        if (!found || found->exitCode != 0)
            return false;
        window = QString::fromLatin1(found->output.split('\n').value(0).trimmed());
        return !window.isEmpty() && waitFor([&] { return QFile::exists(file()); }, 10000);
    }
    QByteArray typed() const
    {
        QFile in(file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    ~Terminal()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};

class QuickAccess : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        if (trayHost) {
            trayHost->terminate();
            trayHost->waitForFinished(5000);
            trayHost.reset();
        }
    }

    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        for (const char *tool : {"xdotool", "trayer", "xterm"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup.sh)";
        ASSERT_TRUE(startWindowManager());
        ASSERT_TRUE(startTrayHost());
        ASSERT_TRUE(session.isValid());
    }

    void TearDown() override
    {
        if (session.isRunning()) {
            EXPECT_TRUE(session.quit()) << session.instanceOutput().toStdString();
        }
    }

    void startWithHistory()
    {
        ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
        // Oldest first. The query matches the last two, the exact one first by any measure, so
        // Down picks the longer one whether the substring rows or the search results are showing.
        const QByteArray lines = "weather forecast: sunny, 24 degrees\n"
                                 "git commit -m 'fix the build'\n"
                                 "invoice 4471 was paid by bank transfer on Monday\n"
                                 "invoice 4471\n";
        ASSERT_EQ(session.cli({QStringLiteral("add"), QStringLiteral("--lines")}, lines).exitCode, 0);
        ASSERT_TRUE(session.waitForList([](const QJsonArray &items) { return newestContent(items) == "invoice 4471"; }));
    }

    bool waitForPanel(bool shown, int timeoutMs = 10000)
    {
        return waitFor([&] { return (x.shownPanel() != 0) == shown; }, timeoutMs);
    }

    bool waitForStatus(const QString &line)
    {
        return waitFor([&] { return QString::fromUtf8(session.cli({QStringLiteral("status")}).out).contains(line); },
                       10000);
    }

    // Shortcut, query, one row down, Shift+Return.
    void pasteSecondMatch()
    {
        ASSERT_TRUE(pressShortcut());
        ASSERT_TRUE(waitForPanel(true)) << session.instanceOutput().toStdString();
        ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                             QStringLiteral("invoice 4471")}));
        ASSERT_TRUE(key(QStringLiteral("Down")));
        ASSERT_TRUE(key(QStringLiteral("shift+Return")));
        EXPECT_TRUE(waitForPanel(false));
    }

    SnipbrookSession session;
    Display x;
};

const QByteArray secondMatch = "invoice 4471 was paid by bank transfer on Monday";

} // namespace

TEST_F(QuickAccess, StatusReportsTheShortcutAndTheTray)
{
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    QString out;
    // The tray icon is embedded asynchronously after start-up.
    EXPECT_TRUE(waitFor(
        [&] {
            out = QString::fromUtf8(session.cli({QStringLiteral("status")}).out);
            return out.contains(QStringLiteral("Tray: present"));
        },
        10000))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Global shortcut: registered (Ctrl+Shift+Space)"))) << out.toStdString();
}

// With a tray the main window hides instead of closing; quitting must end the program anyway.
TEST_F(QuickAccess, QuitEndsTheProgramWhileTheMainWindowShows)
{
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    ASSERT_TRUE(waitFor([&] { return session.cli({QStringLiteral("status")}).out.contains("Tray: present"); }, 10000));
    ASSERT_EQ(session.cli({QStringLiteral("show")}).exitCode, 0);
    ASSERT_TRUE(waitFor([] { return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("^Snipbrook$")}); },
                        10000));
    EXPECT_TRUE(session.quit()) << session.instanceOutput().toStdString();
}

// Each shortcut press takes the window in front as the target anew: a target kept from an
// earlier showing would send the second paste to the first window.
TEST_F(QuickAccess, ShiftReturnPastesIntoTheWindowInFrontWhenTheShortcutWasPressed)
{
    startWithHistory();
    TextField field;
    ASSERT_TRUE(field.open());
    Terminal terminal;
    ASSERT_TRUE(terminal.open());

    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(field.window)}));
    pasteSecondMatch();
    EXPECT_TRUE(field.waitForText(secondMatch)) << field.received.toStdString() << "\n"
                                                << session.instanceOutput().toStdString();
    // The item stays on the clipboard, as a copy would leave it.
    EXPECT_EQ(xclipRead(QStringLiteral("UTF8_STRING")).value_or("(none)"), secondMatch);

    // xterm pastes the PRIMARY selection with Shift+Insert.
    ASSERT_TRUE(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), terminal.window}));
    pasteSecondMatch();
    EXPECT_TRUE(waitFor([&] { return terminal.typed() == secondMatch; }, 10000))
        << terminal.typed().toStdString() << "\n"
        << session.instanceOutput().toStdString();
    EXPECT_EQ(field.received, secondMatch) << "pasted into the earlier window again";
}

TEST_F(QuickAccess, EscapeAndAClickOutsideCloseThePanel)
{
    startWithHistory();
    ASSERT_TRUE(pressShortcut());
    ASSERT_TRUE(waitForPanel(true)) << session.instanceOutput().toStdString();
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitForPanel(false));

    ASSERT_TRUE(pressShortcut());
    ASSERT_TRUE(waitForPanel(true));
    const QRect panel = x.geometry(x.shownPanel());
    const QRect screen(0, 0, x.screen()->width_in_pixels, x.screen()->height_in_pixels);
    // The screen corner farthest from the panel.
    const QPoint outside(panel.center().x() < screen.center().x() ? screen.right() - 5 : 5,
                         panel.center().y() < screen.center().y() ? screen.bottom() - 5 : 5);
    ASSERT_FALSE(panel.contains(outside));
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(outside.x()), QString::number(outside.y()),
                         QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitForPanel(false));
    // Closing pasted nothing and copied nothing.
    EXPECT_EQ(newestContent(*session.list()), QStringLiteral("invoice 4471"));
}

TEST_F(QuickAccess, AShortcutHeldByAnotherProgramLeavesThePopupCommandWorking)
{
    // Another client holds the same combination on the root window.
    Display other;
    const xcb_keycode_t space = other.keycode(0x20);
    ASSERT_NE(space, 0);
    xcb_void_cookie_t grab = xcb_grab_key_checked(other.c, 1, other.screen()->root,
                                                  XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT, space,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t *error = xcb_request_check(other.c, grab);
    ASSERT_EQ(error, nullptr);

    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    EXPECT_TRUE(waitFor([&] { return session.instanceOutput().contains(shortcutFailure); }, 10000))
        << session.instanceOutput().toStdString();
    const QString status = QString::fromUtf8(session.cli({QStringLiteral("status")}).out);
    EXPECT_TRUE(status.contains(QStringLiteral("Global shortcut: not registered"))) << status.toStdString();

    EXPECT_EQ(session.cli({QStringLiteral("popup")}).exitCode, 0);
    EXPECT_TRUE(waitForPanel(true)) << session.instanceOutput().toStdString();
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitForPanel(false));
    EXPECT_TRUE(session.isRunning());
}

// Where the shortcut recorder sits in the settings window at its default size, from the top-left
// of its client area: the first row of the "Hotkeys" section, x 214-376, y 100-131.
const QPoint recorderFieldPoint(290, 115);

// A shortcut recorded in the settings window takes over at once: the new combination opens the
// panel and the old one no longer does.
TEST_F(QuickAccess, ShortcutRecordedInSettingsReplacesTheOldOne)
{
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    ASSERT_TRUE(waitForStatus(QStringLiteral("Global shortcut: registered (Ctrl+Shift+Space)")));
    ASSERT_EQ(session.cli({QStringLiteral("settings")}).exitCode, 0);
    QString window;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto found = runProcess(QStringLiteral("xdotool"),
                                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral("^Snipbrook Settings$")});
            window = found && found->exitCode == 0 ? QString::fromLatin1(found->output.split('\n').value(0).trimmed())
                                                   : QString();
            return !window.isEmpty();
        },
        10000))
        << session.instanceOutput().toStdString();

    // A click starts the recording, which takes the keyboard; the next chord is the new shortcut.
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                         QString::number(recorderFieldPoint.x()), QString::number(recorderFieldPoint.y()),
                         QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(waitFor([&] { return x.keyboardGrabbedElsewhere(); }, 10000)) << session.instanceOutput().toStdString();
    ASSERT_TRUE(key(QStringLiteral("ctrl+alt+k")));
    ASSERT_TRUE(waitForStatus(QStringLiteral("Global shortcut: registered (Ctrl+Alt+K)")))
        << session.cli({QStringLiteral("status")}).out.toStdString() << session.instanceOutput().toStdString();
    EXPECT_FALSE(x.keyboardGrabbedElsewhere());
    // Escape closes the window (Space, part of the old chord, would press the focused field).
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitFor(
        [] {
            const auto found = runProcess(QStringLiteral("xdotool"),
                                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral("^Snipbrook Settings$")});
            return found && found->exitCode != 0;
        },
        10000));

    ASSERT_TRUE(pressShortcut());
    EXPECT_FALSE(waitForPanel(true, 1500)) << "the old shortcut still opens the panel";
    ASSERT_TRUE(pressChord(QStringLiteral("ctrl+alt+k"), QStringLiteral("k+alt+ctrl")));
    EXPECT_TRUE(waitForPanel(true)) << session.instanceOutput().toStdString();
    ASSERT_TRUE(key(QStringLiteral("Escape")));
    EXPECT_TRUE(waitForPanel(false));
}
