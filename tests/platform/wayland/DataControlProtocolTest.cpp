#include "platform/linux/ClipboardTargets.h"
#include "platform/wayland/DataControlProtocol.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

WaylandGlobal global(const char *interface, quint32 version) { return {7, QString::fromLatin1(interface), version}; }

} // namespace

TEST(DataControlProtocolTest, EachCompositorFamilyGetsTheStandardProtocolFirstNeverAboveOurVersion)
{
    using Protocol = DataControlChoice::Protocol;
    const WaylandGlobal seat = global("wl_seat", 8);
    // KWin and newer wlroots announce both, at versions newer than our glue.
    const WaylandGlobal ext = global("ext_data_control_manager_v1", 3);
    EXPECT_EQ(chooseDataControl({seat, global("zwlr_data_control_manager_v1", 2), ext}), (DataControlChoice{Protocol::ext, 1}));
    // sway 1.7.
    const DataControlChoice wlr = chooseDataControl({seat, global("zwlr_data_control_manager_v1", 5)});
    EXPECT_EQ(wlr, (DataControlChoice{Protocol::wlr, 2}));
    EXPECT_TRUE(wlr.supportsPrimarySelection());
    // An old wlroots cannot write the primary selection.
    const DataControlChoice old = chooseDataControl({global("zwlr_data_control_manager_v1", 1), seat});
    EXPECT_EQ(old, (DataControlChoice{Protocol::wlr, 1}));
    EXPECT_FALSE(old.supportsPrimarySelection());
    // GNOME's mutter: only the focus-bound core and GTK clipboards.
    const DataControlChoice mutter = chooseDataControl({seat, global("wl_data_device_manager", 3),
                                                        global("gtk_primary_selection_device_manager", 1),
                                                        global("zwp_primary_selection_device_manager_v1", 1)});
    EXPECT_EQ(mutter.protocol, Protocol::none);
}

TEST(DataControlProtocolTest, TextIsFoundUnderUtf8FirstAndUnderJavasCapitalisedCharset)
{
    EXPECT_EQ(planClipboardRead({QStringLiteral("UTF8_STRING"), QStringLiteral("TEXT"), QStringLiteral("STRING"),
                                 QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")})
                  .textTargets.value(0),
              QStringLiteral("text/plain;charset=utf-8"));
    const QStringList java{QStringLiteral("text/plain; charset=UTF-8"), QStringLiteral("text/plain")};
    EXPECT_EQ(planClipboardRead(java).textTargets, java);
    EXPECT_EQ(decodeClipboardText(QStringLiteral("TEXT"), "Gr\xc3\xbc\xc3\x9f" "e"), QStringLiteral("Grüße"));
}
