#include "capture/SourceAppDetector.h"
#include "platform/wayland/OwnAppId.h"
#include "platform/wayland/ToplevelList.h"
#include "platform/wayland/WaylandActiveWindow.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "system/PasteKeystroke.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

const QStringList ownAppIds{QStringLiteral("snipbrook")};

// Announces a window the way the compositor does: its details, then `done`.
quint64 open(ToplevelList &list, const QString &appId, bool activated = false)
{
    const quint64 id = list.add();
    list.setAppId(id, appId);
    list.setTitle(id, appId + QStringLiteral(" window"));
    list.setActivated(id, activated);
    list.done(id);
    return id;
}

void focus(ToplevelList &list, quint64 from, quint64 to)
{
    list.setActivated(from, false);
    list.done(from);
    list.setActivated(to, true);
    list.done(to);
}

TEST(ToplevelListTest, ChangesShowOnlyOnceTheCompositorSaysDone)
{
    ToplevelList list;
    const quint64 id = list.add();
    list.setAppId(id, QStringLiteral("foot"));
    list.setActivated(id, true);
    // Half-described windows would be recorded as a source without a name.
    EXPECT_TRUE(list.toplevels().isEmpty());
    EXPECT_FALSE(list.activated());
    list.done(id);
    ASSERT_TRUE(list.activated());
    EXPECT_EQ(list.activated()->appId, QStringLiteral("foot"));

    list.setTitle(id, QStringLiteral("~/src"));
    list.setActivated(id, false);
    EXPECT_TRUE(list.activated());
    EXPECT_EQ(list.find(id)->title, QString());
    list.done(id);
    EXPECT_FALSE(list.activated());
    EXPECT_EQ(list.find(id)->title, QStringLiteral("~/src"));
}

TEST(ToplevelListTest, FocusMovesWhileTheWindowsKeepTheOrderTheyAppearedIn)
{
    ToplevelList list;
    const quint64 editor = open(list, QStringLiteral("org.gnome.TextEditor"), true);
    const quint64 terminal = open(list, QStringLiteral("foot"));
    focus(list, editor, terminal);
    EXPECT_EQ(list.activated()->id, terminal);
    ASSERT_EQ(list.toplevels().size(), 2);
    EXPECT_EQ(list.toplevels()[0].id, editor);
    // Two seats may each have a window activated: the newest is the one typed into.
    list.setActivated(editor, true);
    list.done(editor);
    EXPECT_EQ(list.activated()->id, editor);
}

TEST(ToplevelListTest, ClosedWindowsLeaveAndTheirIdsAreNeverReused)
{
    ToplevelList list;
    const quint64 first = open(list, QStringLiteral("foot"), true);
    list.remove(first);
    EXPECT_FALSE(list.find(first));
    EXPECT_FALSE(list.activated());
    // A paste waiting for the closed window must not land in a new one.
    const quint64 second = open(list, QStringLiteral("foot"), true);
    EXPECT_NE(second, first);
    list.clear();
    EXPECT_TRUE(list.toplevels().isEmpty());
    // Events for a window the list no longer has change nothing.
    list.setActivated(second, true);
    list.done(second);
    EXPECT_FALSE(list.activated());
}

class WaylandWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dataDir.filePath(QStringLiteral("applications"))));
        QFile entry(dataDir.filePath(QStringLiteral("applications/org.gnome.TextEditor.desktop")));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Text Editor\n");
    }
    WaylandWorkspace::Options options() const
    {
        return {QStringList{dataDir.path()}, QStringLiteral("C"), ownAppIds};
    }

    QTemporaryDir dataDir;
    ToplevelList list;
};

TEST_F(WaylandWorkspaceTest, TheActivatedWindowIsTheFrontApplicationNamedByItsDesktopEntry)
{
    const WaylandWorkspace workspace(list, options());
    const quint64 editor = open(list, QStringLiteral("org.gnome.TextEditor"), true);
    const quint64 terminal = open(list, QStringLiteral("foot"));
    const std::optional<RunningApplication> front = workspace.frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleIdentifier, QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(front->localizedName, QStringLiteral("Text Editor"));
    EXPECT_TRUE(front->isActive);
    // Without a desktop entry the app id names the application.
    focus(list, editor, terminal);
    EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, QStringLiteral("foot"));
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, QStringLiteral("foot"));
}

TEST_F(WaylandWorkspaceTest, RunningApplicationsAreOnePerAppIdAndOurWindowsCarryOurIdentifier)
{
    const WaylandWorkspace workspace(list, options());
    open(list, QStringLiteral("foot"));
    open(list, QStringLiteral("snipbrook"));
    open(list, QStringLiteral("foot"), true);
    open(list, QString(), false);
    const QList<RunningApplication> running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 2);
    EXPECT_EQ(running[0].bundleIdentifier, QStringLiteral("foot"));
    EXPECT_TRUE(running[0].isActive);
    EXPECT_TRUE(running[0].isRegular);
    EXPECT_EQ(running[1].bundleIdentifier, workspace.ownBundleIdentifier());
}

TEST_F(WaylandWorkspaceTest, CopiesRecordTheFrontAppSkipOurOwnWindowsAndAreUnknownWithoutAWindowList)
{
    const WaylandWorkspace workspace(list, options());
    // GNOME: no window list at all.
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().name, QStringLiteral("Unknown"));
    EXPECT_FALSE(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier);

    const quint64 own = open(list, QStringLiteral("snipbrook"), true);
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier, workspace.ownBundleIdentifier());
    // Nothing in front: the running applications other than ours are the candidates.
    list.setActivated(own, false);
    list.done(own);
    open(list, QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier, QStringLiteral("org.gnome.TextEditor"));
}

TEST(WaylandActiveWindowTest, TheActivatedWindowIsNamedByItsAppIdSoTerminalsGetTheirPasteKey)
{
    ToplevelList list;
    QList<quint64> requested;
    WaylandActiveWindow windows(list, [&](quint64 id) { requested.append(id); return true; }, ownAppIds);
    EXPECT_FALSE(windows.current());
    const quint64 terminal = open(list, QStringLiteral("foot"), true);
    const std::optional<WindowIdentity> current = windows.current();
    ASSERT_TRUE(current);
    EXPECT_EQ(*current, (WindowIdentity{terminal, QStringLiteral("foot"), QStringLiteral("foot")}));
    EXPECT_EQ(pasteStyleFor(current), PasteStyle::terminal);
    EXPECT_TRUE(windows.isActive(terminal));

    // Our own windows look as on X11, so the paste never targets them.
    const quint64 own = open(list, QStringLiteral("snipbrook"));
    focus(list, terminal, own);
    EXPECT_EQ(windows.current()->className, QCoreApplication::applicationName());
    EXPECT_FALSE(windows.isActive(terminal));

    EXPECT_TRUE(windows.activate(terminal));
    list.remove(terminal);
    EXPECT_FALSE(windows.exists(terminal));
    EXPECT_FALSE(windows.activate(terminal));
    EXPECT_EQ(requested, QList<quint64>{terminal});
}

TEST(OwnAppIdTest, OurWindowsAreKnownByTheAppIdQtGivesThem)
{
    // Without a desktop file name Qt names the windows after the program.
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    EXPECT_TRUE(snipbrookAppIds().contains(program));
    EXPECT_TRUE(snipbrookAppIds().contains(QStringLiteral("com.snipbrook.app")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Clips.desktop"));
    const QStringList named = snipbrookAppIds();
    QGuiApplication::setDesktopFileName(QString());
    EXPECT_TRUE(named.contains(QStringLiteral("org.example.Clips")));
    // Under XWayland the class names them: the application name.
    EXPECT_TRUE(named.contains(QCoreApplication::applicationName()));
}

} // namespace
