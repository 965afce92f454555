#include "app/SessionChoice.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

SessionEnvironment environment(QString wayland, QString x11, QString requested = {})
{
    return {std::move(wayland), std::move(x11), std::move(requested), QStringLiteral("GNOME")};
}

} // namespace

// The wrong choice either loses every Wayland copy (X11 chosen under XWayland) or starts a
// clipboard watch on a display that is not there.
TEST(SessionChoiceTest, FollowsTheSessionAndTheOverride)
{
    EXPECT_EQ(chooseSession(environment(QStringLiteral("wayland-0"), QStringLiteral(":0"))).kind, SessionKind::wayland);
    EXPECT_EQ(chooseSession(environment({}, QStringLiteral(":0"))).kind, SessionKind::x11);
    EXPECT_EQ(chooseSession(environment(QStringLiteral("wayland-0"), QStringLiteral(":0"), QStringLiteral("x11"))).kind,
              SessionKind::x11);
    EXPECT_TRUE(chooseSession(environment(QStringLiteral("wayland-0"), {})).warning.isEmpty());

    // An override that cannot be followed, or is misspelt, says so and falls back on the session.
    const SessionChoice noX = chooseSession(environment(QStringLiteral("wayland-0"), {}, QStringLiteral("x11")));
    EXPECT_EQ(noX.kind, SessionKind::wayland);
    EXPECT_TRUE(noX.warning.contains(QStringLiteral("DISPLAY is not set"))) << noX.warning.toStdString();
    const SessionChoice typo = chooseSession(environment({}, QStringLiteral(":0"), QStringLiteral("wayalnd")));
    EXPECT_EQ(typo.kind, SessionKind::x11);
    EXPECT_TRUE(typo.warning.contains(QStringLiteral("wayalnd")));

    const SessionChoice none = chooseSession(environment({}, {}));
    EXPECT_EQ(none.kind, SessionKind::none);
    EXPECT_TRUE(none.warning.contains(QStringLiteral("command line still works")));
}

// GNOME keeps the clipboard from other programs: capture goes on through XWayland where it can,
// and the log says what is lost instead of the program silently recording nothing.
TEST(SessionChoiceTest, WithoutDataControlFallsBackOnXWayland)
{
    const SessionChoice xwayland = withoutDataControl(environment(QStringLiteral("wayland-0"), QStringLiteral(":0")));
    EXPECT_EQ(xwayland.kind, SessionKind::x11);
    EXPECT_TRUE(xwayland.warning.startsWith(QStringLiteral("⚠️ GNOME gives programs no access to the clipboard")));
    EXPECT_TRUE(xwayland.warning.contains(QStringLiteral("XWayland")));
    EXPECT_TRUE(xwayland.notice.startsWith(QStringLiteral("GNOME does not let other programs see the clipboard")));
    EXPECT_EQ(withoutDataControl(environment(QStringLiteral("wayland-0"), {})).kind, SessionKind::none);
}
