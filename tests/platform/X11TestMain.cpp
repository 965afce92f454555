#include "X11TestEnvironment.h"
#include "XvfbServer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace snipbrook::test {
namespace {
QString display, failure;
} // namespace

const QString &testDisplay() { return display; }
QString missingDisplayReason() { return QStringLiteral("no X server for the test: ") + failure; }

} // namespace snipbrook::test

// X11 tests run a GUI application on a private Xvfb (the toolkit serves our own clipboard
// writes); without Xvfb they fall back to the offscreen platform and the X tests skip. This
// replaces the common test main of tests/support.
int main(int argc, char **argv)
{
    using namespace snipbrook::test;
    if (const std::optional<int> helper = runTestWindowHelper(argc, argv))
        return *helper;

    // A Qt program with a display and no session bus would start a bus that outlives it.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0); // keeps a bus given by dbus-run-session
    XvfbServer xvfb;
    if (xvfb.start()) {
        display = xvfb.display();
        ::setenv("DISPLAY", xvfb.display().toLocal8Bit().constData(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        failure = xvfb.failure();
        ::unsetenv("DISPLAY");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int result = 0;
    {
        QGuiApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
        stopWindowManager();
    }
    return result;
}
