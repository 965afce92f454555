#include "HeadlessSway.h"
#include "WaylandTestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace snipbrook::test {
namespace {
HeadlessSway *compositor = nullptr;
} // namespace

HeadlessSway &testCompositor() { return *compositor; }
QString missingCompositorReason() { return QStringLiteral("no Wayland compositor for the test: ") + compositor->failure(); }

} // namespace snipbrook::test

// Wayland tests run against a private headless sway; without sway the Wayland tests skip. This replaces
// the common test main of tests/support.
int main(int argc, char **argv)
{
    using namespace snipbrook::test;
    // A Qt program with a display and no session bus would start a bus that outlives it.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0); // keeps a bus given by dbus-run-session
    // A runtime folder of our own (0700, as Wayland clients expect), not the compositor's.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/snipbrook-test-run-XXXXXX"));
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()).constData(), 1);

    HeadlessSway sway;
    compositor = &sway;
    ::unsetenv("DISPLAY");
    if (sway.start()) {
        ::setenv("WAYLAND_DISPLAY", QFile::encodeName(sway.waylandDisplay()).constData(), 1);
        ::setenv("SWAYSOCK", QFile::encodeName(sway.ipcSocket()).constData(), 1);
    } else {
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("SWAYSOCK");
    }
    // This program drives the compositor through its clients and IPC and needs no window of its
    // own; the clients it starts get Qt on Wayland (HeadlessSway::addTo).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int result = 0;
    {
        QGuiApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    sway.stop();
    compositor = nullptr;
    return result;
}
