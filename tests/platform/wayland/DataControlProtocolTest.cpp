#include "platform/linux/ClipboardTargets.h"
#include "platform/wayland/DataControlProtocol.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

WaylandGlobal global(quint32 name, const char *interface, quint32 version)
{
    return {name, QString::fromLatin1(interface), version};
}

} // namespace

TEST(DataControlProtocolTest, PrefersTheStandardProtocolAndNeverBindsAboveWhatWeKnow)
{
    using Protocol = DataControlChoice::Protocol;
    const WaylandGlobal seat = global(1, "wl_seat", 8);

    // KWin and newer wlroots announce both, sometimes at versions newer than our glue.
    const DataControlChoice both = chooseDataControl(
        {seat, global(7, "zwlr_data_control_manager_v1", 2), global(9, "ext_data_control_manager_v1", 3)});
    EXPECT_EQ(both, (DataControlChoice{Protocol::ext, 1}));
    EXPECT_TRUE(both.supportsPrimarySelection());

    // sway 1.7.
    const DataControlChoice wlr = chooseDataControl({seat, global(7, "zwlr_data_control_manager_v1", 5)});
    EXPECT_EQ(wlr, (DataControlChoice{Protocol::wlr, 2}));
    EXPECT_TRUE(wlr.supportsPrimarySelection());
    EXPECT_EQ(wlr.interfaceName(), QStringLiteral("zwlr_data_control_manager_v1"));

    // An old wlroots: the clipboard works, the primary selection cannot be written.
    const DataControlChoice old = chooseDataControl({global(7, "zwlr_data_control_manager_v1", 1), seat});
    EXPECT_EQ(old, (DataControlChoice{Protocol::wlr, 1}));
    EXPECT_FALSE(old.supportsPrimarySelection());

    // GNOME's mutter: only the core and GTK clipboards, which need focus.
    const DataControlChoice mutter = chooseDataControl(
        {seat, global(2, "wl_data_device_manager", 3), global(3, "gtk_primary_selection_device_manager", 1),
         global(4, "zwp_primary_selection_device_manager_v1", 1)});
    EXPECT_EQ(mutter.protocol, Protocol::none);
    EXPECT_FALSE(mutter.supportsPrimarySelection());
    EXPECT_TRUE(mutter.interfaceName().isEmpty());
}

TEST(DataControlProtocolTest, TextOfWaylandApplicationsIsFoundWhateverTheyCallIt)
{
    // GTK, Qt and Firefox on Wayland, XWayland bridging an X11 copy, and Java's capitalised charset.
    const ClipboardReadPlan gtk = planClipboardRead(
        {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("UTF8_STRING"), QStringLiteral("TEXT"),
         QStringLiteral("STRING"), QStringLiteral("text/plain")});
    EXPECT_EQ(gtk.textTargets.value(0), QStringLiteral("text/plain;charset=utf-8"));

    const ClipboardReadPlan java = planClipboardRead(
        {QStringLiteral("text/plain; charset=UTF-8"), QStringLiteral("text/plain")});
    EXPECT_EQ(java.textTargets,
              QStringList({QStringLiteral("text/plain; charset=UTF-8"), QStringLiteral("text/plain")}));

    const ClipboardReadPlan onlyText = planClipboardRead({QStringLiteral("TEXT")});
    EXPECT_EQ(onlyText.textTargets, QStringList({QStringLiteral("TEXT")}));
    EXPECT_EQ(decodeClipboardText(QStringLiteral("TEXT"), "Gr\xc3\xbc\xc3\x9f" "e"), QStringLiteral("Grüße"));
}
