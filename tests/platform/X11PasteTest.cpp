#include "X11TestEnvironment.h"
#include "platform/linux/X11ActiveWindow.h"
#include "platform/linux/X11Pasteboard.h"
#include "platform/linux/XTestKeySynthesizer.h"

#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// A window of this process that takes keyboard input and records the key presses it gets.
class KeyWindow {
public:
    KeyWindow()
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, screen->root, 20, 20, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
        const char wmClass[] = "pastetarget\0PasteTarget";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                            wmClass);
        xcb_map_window(c, id);
        xcb_flush(c);
    }
    ~KeyWindow() { xcb_disconnect(c); }

    void destroy()
    {
        xcb_destroy_window(c, id);
        xcb_flush(c);
    }
    // Takes the events that arrived; presses as (keycode, modifier state).
    void drain()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const uint8_t type = event->response_type & 0x7f;
            const auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
            if (type == XCB_KEY_PRESS)
                presses.append({key->detail, key->state});
            else if (type == XCB_KEY_RELEASE)
                ++releases;
            std::free(event);
        }
    }

    xcb_connection_t *c = xcb_connect(testDisplay().toLocal8Bit().constData(), nullptr);
    const xcb_window_t id = xcb_generate_id(c);
    QList<QPair<xcb_keycode_t, uint16_t>> presses;
    int releases = 0;
};

class X11PasteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        if (!startWindowManager())
            GTEST_SKIP() << "openbox is not installed";
    }
    static void xdotool(const QStringList &arguments) { runProcess(QStringLiteral("xdotool"), arguments); }
};

TEST_F(X11PasteTest, ActivatedWindowGetsTheChordWithoutTheShiftTheUserStillHolds)
{
    KeyWindow window;
    ASSERT_TRUE(QTest::qWaitFor([&] { return isManaged(window.id); }, 10000));
    X11ActiveWindow windows;
    ASSERT_TRUE(windows.activate(window.id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return windows.isActive(window.id); }, 10000));
    const std::optional<WindowIdentity> active = windows.current();
    ASSERT_TRUE(active);
    EXPECT_EQ(*active, (WindowIdentity{window.id, QStringLiteral("pastetarget"), QStringLiteral("PasteTarget")}));

    XTestKeySynthesizer keys;
    ASSERT_TRUE(keys.isAvailable());
    xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
    EXPECT_EQ(keys.heldModifiers(), Qt::ShiftModifier);
    window.drain();
    window.presses.clear();
    ASSERT_TRUE(keys.sendChord({Qt::ControlModifier, Qt::Key_V}));
    ASSERT_TRUE(QTest::qWaitFor([&] { window.drain(); return window.releases >= 2; }, 10000));
    ASSERT_FALSE(window.presses.isEmpty());
    const uint16_t state = window.presses.last().second;
    EXPECT_EQ(state & (XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT), XCB_MOD_MASK_CONTROL) << "Ctrl+V, not Ctrl+Shift+V";
    EXPECT_EQ(keys.heldModifiers(), Qt::NoModifier) << "the chord is released again";
    xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});

    // A closed window is neither active nor switched to.
    window.destroy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windows.exists(window.id); }, 10000));
    EXPECT_FALSE(windows.activate(window.id));
    EXPECT_FALSE(windows.isActive(window.id));
}

TEST_F(X11PasteTest, PrimarySelectionCarriesTheTextApartFromTheClipboard)
{
    X11Pasteboard pasteboard;
    ASSERT_TRUE(pasteboard.isConnected());
    const qint64 before = pasteboard.changeCount();
    ASSERT_TRUE(pasteboard.writePrimaryText(QStringLiteral("make test")));
    const auto primary = runProcess(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary"),
                                                              QStringLiteral("-o")});
    ASSERT_TRUE(primary);
    EXPECT_EQ(primary->output, QByteArray("make test"));
    EXPECT_EQ(pasteboard.changeCount(), before) << "the history records clipboard changes only";
}

} // namespace
