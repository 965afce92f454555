#include "capture/SourceAppDetector.h"
#include "platform/wayland/OwnAppId.h"
#include "platform/wayland/ToplevelList.h"
#include "platform/wayland/WaylandActiveWindow.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "system/PasteKeystroke.h"

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
    list.setActivated(id, activated);
    list.done(id);
    return id;
}

void setActivated(ToplevelList &list, quint64 id, bool activated)
{
    list.setActivated(id, activated);
    list.done(id);
}

TEST(ToplevelListTest, HalfDescribedWindowsShowOnlyOnceTheCompositorSaysDone)
{
    ToplevelList list;
    const quint64 id = list.add();
    list.setAppId(id, QStringLiteral("foot"));
    list.setActivated(id, true);
    EXPECT_TRUE(list.toplevels().isEmpty());
    EXPECT_FALSE(list.activated());
    list.done(id);
    EXPECT_EQ(list.activated()->appId, QStringLiteral("foot"));

    list.setTitle(id, QStringLiteral("~/src"));
    list.setActivated(id, false);
    EXPECT_TRUE(list.activated());
    EXPECT_EQ(list.find(id)->title, QString());
    list.done(id);
    EXPECT_FALSE(list.activated());
    EXPECT_EQ(list.find(id)->title, QStringLiteral("~/src"));
}

TEST(ToplevelListTest, TheNewestActivatedWindowIsTypedIntoAndClosedIdsAreNeverReused)
{
    ToplevelList list;
    const quint64 editor = open(list, QStringLiteral("org.gnome.TextEditor"), true);
    const quint64 terminal = open(list, QStringLiteral("foot"), true); // two seats, one window each
    EXPECT_EQ(list.activated()->id, terminal);
    EXPECT_EQ(list.toplevels()[0].id, editor);

    list.remove(terminal);
    EXPECT_FALSE(list.find(terminal));
    EXPECT_EQ(list.activated()->id, editor);
    // A paste waiting for the closed window must not land in a new one.
    EXPECT_NE(open(list, QStringLiteral("foot")), terminal);
    list.clear();
    setActivated(list, editor, true); // events for a window the list no longer has
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

    QTemporaryDir dataDir;
    ToplevelList list;
    WaylandWorkspace workspace{list, {QStringList{dataDir.path()}, QStringLiteral("C"), ownAppIds}};
};

TEST_F(WaylandWorkspaceTest, ApplicationsAreNamedByTheirDesktopEntryOncePerAppIdWithOursMarked)
{
    open(list, QStringLiteral("foot"));
    open(list, QStringLiteral("snipbrook"));
    open(list, QStringLiteral("org.gnome.TextEditor"));
    open(list, QStringLiteral("foot"), true);
    open(list, QString());
    EXPECT_EQ(workspace.frontmostApplication()->localizedName, QStringLiteral("foot")); // no desktop entry

    const QList<RunningApplication> running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 3);
    EXPECT_TRUE(running[0].isActive);
    EXPECT_EQ(running[1].bundleIdentifier, workspace.ownBundleIdentifier());
    EXPECT_EQ(running[2].localizedName, QStringLiteral("Text Editor"));
}

TEST_F(WaylandWorkspaceTest, CopiesRecordTheFrontAppSkipOurOwnWindowsAndAreUnknownWithoutAWindowList)
{
    // GNOME: no window list at all.
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().name, QStringLiteral("Unknown"));
    EXPECT_FALSE(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier);

    const quint64 own = open(list, QStringLiteral("snipbrook"), true);
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier, workspace.ownBundleIdentifier());
    // Nothing in front: the running applications other than ours are the candidates.
    setActivated(list, own, false);
    open(list, QStringLiteral("org.gnome.TextEditor"));
    EXPECT_EQ(SourceAppDetector(workspace).detectSourceApp().bundleIdentifier, QStringLiteral("org.gnome.TextEditor"));
}

TEST(WaylandActiveWindowTest, PasteTargetsTheActivatedWindowByAppIdNeverOursNorAClosedOne)
{
    ToplevelList list;
    QList<quint64> requested;
    WaylandActiveWindow windows(list, [&](quint64 id) { requested.append(id); return true; }, ownAppIds);
    EXPECT_FALSE(windows.current());
    const quint64 terminal = open(list, QStringLiteral("foot"), true);
    EXPECT_EQ(windows.current(), (WindowIdentity{terminal, QStringLiteral("foot"), QStringLiteral("foot")}));
    EXPECT_EQ(pasteStyleFor(windows.current()), PasteStyle::terminal);
    EXPECT_TRUE(windows.isActive(terminal));

    // Our own windows look as on X11, so the paste never targets them.
    setActivated(list, terminal, false);
    open(list, QStringLiteral("snipbrook"), true);
    EXPECT_EQ(windows.current()->className, QCoreApplication::applicationName());
    EXPECT_FALSE(windows.isActive(terminal));

    EXPECT_TRUE(windows.activate(terminal));
    list.remove(terminal);
    EXPECT_FALSE(windows.exists(terminal));
    EXPECT_FALSE(windows.activate(terminal));
    EXPECT_EQ(requested, QList<quint64>{terminal});
}

TEST(OwnAppIdTest, OurWindowsAreKnownByEveryAppIdQtOrXWaylandGivesThem)
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    EXPECT_TRUE(snipbrookAppIds().contains(program)); // without a desktop file name
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Clips.desktop"));
    const QStringList named = snipbrookAppIds();
    QGuiApplication::setDesktopFileName(QString());
    EXPECT_TRUE(named.contains(QStringLiteral("org.example.Clips")));
    EXPECT_TRUE(named.contains(QCoreApplication::applicationName())); // XWayland's class
}

} // namespace
