#include "X11TestEnvironment.h"
#include "platform/linux/X11Workspace.h"
#include "support/DiagnosticsCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <deque>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

void writeEntry(const QTemporaryDir &dataDir, const QString &name, const QByteArray &contents)
{
    QDir().mkpath(dataDir.filePath(QStringLiteral("applications")));
    QFile entry(dataDir.filePath(QStringLiteral("applications/") + name));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\n" + contents);
}

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::red);
        icon.save(dataDir.filePath(QStringLiteral("red.png")));
        writeEntry(dataDir, QStringLiteral("org.example.TestWindow.desktop"),
                   "Name=Test Window\nName[de]=Testfenster\nStartupWMClass=SnipbrookTestWindow\nIcon="
                       + dataDir.filePath(QStringLiteral("red.png")).toUtf8() + "\n");
        writeEntry(dataDir, QStringLiteral("plain.desktop"), "Name=Plain\nIcon=no-such-icon-anywhere\n");
        SKIP_WITHOUT_X_SERVER();
        if (!startWindowManager())
            GTEST_SKIP() << "openbox is not installed";
        X11Workspace::Options options;
        options.dataDirs = QStringList{dataDir.path()};
        options.locale = QStringLiteral("de_DE.UTF-8");
        workspace = std::make_unique<X11Workspace>(options);
        ASSERT_TRUE(workspace->isConnected());
    }

    void TearDown() override
    {
        for (TestWindow &window : windows) {
            window.process->closeWriteChannel();
            window.process->waitForFinished(5000);
        }
    }

    const TestWindow &open(const QString &instance, const QString &windowClass, bool skipTaskbar = false)
    {
        std::optional<TestWindow> window = openTestWindow(instance, windowClass, skipTaskbar);
        EXPECT_TRUE(window) << "the test window did not open";
        windows.push_back(std::move(*window));
        // The window manager may keep the focus where it was (focus-stealing prevention); a
        // pager's request is always honoured.
        if (!skipTaskbar)
            runProcess(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(windows.back().window)});
        return windows.back();
    }

    bool waitForFront(const QString &bundle)
    {
        return QTest::qWaitFor([&] {
            const auto front = workspace->frontmostApplication();
            return front && front->bundleIdentifier == bundle;
        }, 10000);
    }

    QTemporaryDir dataDir;
    std::unique_ptr<X11Workspace> workspace;
    std::deque<TestWindow> windows; // references stay valid as windows are added
};

TEST_F(X11WorkspaceTest, ApplicationsAreTheWindowsJoinedWithTheirDesktopEntries)
{
    const TestWindow &panel = open(QStringLiteral("panel"), QStringLiteral("Panel"), true);
    const TestWindow &listed = open(QStringLiteral("snipbrook-test"), QStringLiteral("SnipbrookTestWindow"));
    ASSERT_TRUE(waitForFront(QStringLiteral("org.example.TestWindow")));
    const auto front = workspace->frontmostApplication();
    EXPECT_EQ(front->localizedName, QStringLiteral("Testfenster"));
    EXPECT_EQ(front->processIdentifier, listed.pid);
    EXPECT_TRUE(front->isActive);
    EXPECT_TRUE(front->isRegular);

    const QList<RunningApplication> running = workspace->runningApplications();
    const auto find = [&](const QString &bundle) {
        return std::find_if(running.begin(), running.end(),
                            [&](const RunningApplication &app) { return app.bundleIdentifier == bundle; });
    };
    const auto panelApp = find(QStringLiteral("panel"));
    const auto listedApp = find(QStringLiteral("org.example.TestWindow"));
    ASSERT_NE(panelApp, running.end());
    ASSERT_NE(listedApp, running.end());
    EXPECT_LT(panelApp, listedApp) << "in the window manager's order";
    EXPECT_FALSE(panelApp->isRegular);
    EXPECT_FALSE(panelApp->isActive);
    EXPECT_EQ(panelApp->processIdentifier, panel.pid);
    EXPECT_TRUE(listedApp->isRegular);
    EXPECT_TRUE(listedApp->isActive);

    const auto location = workspace->applicationLocation(QStringLiteral("org.example.TestWindow"));
    ASSERT_TRUE(location);
    EXPECT_EQ(*location, dataDir.filePath(QStringLiteral("applications/org.example.TestWindow.desktop")));
    const QImage icon = workspace->iconForFile(*location);
    ASSERT_EQ(icon.size(), QSize(X11Workspace::iconSize, X11Workspace::iconSize));
    EXPECT_EQ(QColor(icon.pixel(32, 32)), QColor(Qt::red));
    // A missing icon or entry falls back to a generic icon.
    const QImage generic = workspace->iconForFile(dataDir.filePath(QStringLiteral("applications/plain.desktop")));
    EXPECT_EQ(generic.size(), QSize(X11Workspace::iconSize, X11Workspace::iconSize));
    EXPECT_FALSE(workspace->iconForFile(dataDir.filePath(QStringLiteral("nothing-here.desktop"))).isNull());
    EXPECT_FALSE(workspace->applicationLocation(QStringLiteral("not.installed")));

    // Without a desktop entry: the class names the application.
    open(QStringLiteral("unlisted"), QStringLiteral("Unlisted"));
    ASSERT_TRUE(waitForFront(QStringLiteral("unlisted")));
    EXPECT_EQ(workspace->frontmostApplication()->localizedName, QStringLiteral("Unlisted"));
}

TEST_F(X11WorkspaceTest, OwnWindowsBelongToSnipbrook)
{
    QWindow window;
    window.resize(100, 100);
    window.show();
    window.requestActivate();
    EXPECT_TRUE(waitForFront(QStringLiteral("com.snipbrook.app")));

    // Hidden (to the tray), it is not in front, though the window manager may still name it
    // active: copies made meanwhile would otherwise be skipped as our own.
    window.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const auto front = workspace->frontmostApplication();
        return !front || front->bundleIdentifier != QStringLiteral("com.snipbrook.app");
    }, 10000));
}

TEST_F(X11WorkspaceTest, WithoutWindowManagerThereIsNoFrontApplicationButWindowsStillRun)
{
    open(QStringLiteral("snipbrook-test"), QStringLiteral("SnipbrookTestWindow"));
    ASSERT_TRUE(waitForFront(QStringLiteral("org.example.TestWindow")));
    stopWindowManager();

    DiagnosticsCapture diagnostics;
    EXPECT_FALSE(workspace->frontmostApplication()) << "a stale _NET_ACTIVE_WINDOW is not trusted";
    EXPECT_FALSE(workspace->frontmostApplication());
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ No window manager, the front application is unknown")), 1);
    const QList<RunningApplication> running = workspace->runningApplications();
    EXPECT_TRUE(std::any_of(running.begin(), running.end(), [](const RunningApplication &app) {
        return app.bundleIdentifier == QStringLiteral("org.example.TestWindow") && app.isRegular;
    }));
    ASSERT_TRUE(startWindowManager());
}

TEST(X11WorkspaceWithoutDisplayTest, KnowsNoApplicationsButStillItsDesktopEntries)
{
    QTemporaryDir dataDir;
    writeEntry(dataDir, QStringLiteral("editor.desktop"), "Name=Editor\n");
    DiagnosticsCapture diagnostics;
    X11Workspace::Options options;
    options.displayName = QStringLiteral(":65000");
    options.dataDirs = QStringList{dataDir.path()};
    X11Workspace workspace(options);
    EXPECT_FALSE(workspace.isConnected());
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ No X display, the front and running applications are unknown: :65000")), 1);
    EXPECT_FALSE(workspace.frontmostApplication());
    EXPECT_TRUE(workspace.runningApplications().isEmpty());
    EXPECT_EQ(workspace.applicationLocation(QStringLiteral("editor")),
              dataDir.filePath(QStringLiteral("applications/editor.desktop")));
    EXPECT_EQ(diagnostics.lines().size(), 1) << "said once, not on every call";

    // The installed applications, for the settings window's picker; an entry whose icon is
    // missing still gets one.
    writeEntry(dataDir, QStringLiteral("noicon.desktop"), "Name=No Icon\nIcon=/nowhere/at/all.png\n");
    const QList<InstalledApplication> installed = workspace.installedApplications(true);
    ASSERT_EQ(installed.size(), 2);
    const auto noIcon = workspace.installedApplication(QStringLiteral("noicon"));
    ASSERT_TRUE(noIcon);
    EXPECT_EQ(noIcon->name, QStringLiteral("No Icon"));
    EXPECT_TRUE(installed.contains(*noIcon));
    EXPECT_FALSE(workspace.iconForFile(noIcon->location).isNull());
}

} // namespace
