#include "platform/linux/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    static void write(const QTemporaryDir &dataDir, const QString &relative, const QByteArray &contents)
    {
        const QString path = dataDir.filePath(QStringLiteral("applications/") + relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    static QByteArray application(const QByteArray &lines) { return "[Desktop Entry]\nType=Application\n" + lines + "\n"; }

    QTemporaryDir home;
    QTemporaryDir system;
};

TEST_F(DesktopEntryIndexTest, EarlierFoldersWinAndOnlyShownApplicationsCount)
{
    write(home, QStringLiteral("editor.desktop"),
          application("Name=Editor\nName[de]=Bearbeiter\nName[de_CH]=Schreiber\nIcon=editor\n"
                      "[Desktop Action new]\nName=New Window"));
    write(system, QStringLiteral("editor.desktop"), application("Name=Old Editor"));
    // A user entry with Hidden=true removes the system one.
    write(home, QStringLiteral("gone.desktop"), application("Name=Gone\nHidden=true"));
    write(system, QStringLiteral("gone.desktop"), application("Name=Gone"));
    write(system, QStringLiteral("helper.desktop"), application("Name=Helper\nNoDisplay=true"));
    write(system, QStringLiteral("bookmark.desktop"), "[Desktop Entry]\nType=Link\nName=Bookmark\n");
    write(system, QStringLiteral("kde/viewer.desktop"), application("Name = Image\\sViewer  "));
    write(system, QStringLiteral("broken.desktop"), "no group at all\n");

    DesktopEntryIndex index({home.path(), system.path()}, QStringLiteral("de_AT.UTF-8"));
    const auto editor = index.byId(QStringLiteral("editor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->name, QStringLiteral("Bearbeiter")) << "de_AT falls back to de, and actions do not count";
    EXPECT_EQ(editor->path, home.filePath(QStringLiteral("applications/editor.desktop")));
    EXPECT_EQ(editor->icon, QStringLiteral("editor"));
    EXPECT_FALSE(index.byId(QStringLiteral("gone")));
    EXPECT_FALSE(index.byId(QStringLiteral("helper")));
    EXPECT_FALSE(index.byId(QStringLiteral("bookmark")));
    EXPECT_FALSE(index.byId(QStringLiteral("broken")));
    const auto viewer = index.byId(QStringLiteral("kde-viewer"));
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->name, QStringLiteral("Image Viewer"));
    EXPECT_EQ(index.byPath(viewer->path), viewer);

    EXPECT_EQ(DesktopEntryIndex(QStringList{home.path()}, QStringLiteral("de_CH.UTF-8")).byId(QStringLiteral("editor"))->name,
              QStringLiteral("Schreiber"));
    EXPECT_EQ(DesktopEntryIndex(QStringList{home.path()}, QStringLiteral("C")).byId(QStringLiteral("editor"))->name,
              QStringLiteral("Editor"));
}

TEST_F(DesktopEntryIndexTest, WindowClassesMatchStartupClassBeforeFileName)
{
    write(system, QStringLiteral("org.example.Browser.desktop"), application("Name=Browser\nStartupWMClass=Navigator"));
    write(system, QStringLiteral("navigator.desktop"), application("Name=Other Navigator"));
    write(system, QStringLiteral("term.desktop"), application("Name=Terminal"));
    DesktopEntryIndex index({system.path()}, QString());

    EXPECT_EQ(index.byWindowClass(QStringLiteral("navigator"), QStringLiteral("Navigator"))->id,
              QStringLiteral("org.example.Browser"));
    EXPECT_EQ(index.byWindowClass(QStringLiteral("xterm-like"), QStringLiteral("Term"))->id, QStringLiteral("term"));
    EXPECT_EQ(index.byWindowClass(QStringLiteral("term"), QString())->id, QStringLiteral("term"));
    EXPECT_FALSE(index.byWindowClass(QStringLiteral("unknown"), QStringLiteral("Unknown")));
}

TEST_F(DesktopEntryIndexTest, FindsLaterInstallsOnAMissWithoutRescanningOnEveryLookup)
{
    write(system, QStringLiteral("first.desktop"), application("Name=First"));
    DesktopEntryIndex index({home.path(), system.path()}, QString());
    EXPECT_TRUE(index.byId(QStringLiteral("first")));
    EXPECT_FALSE(index.byId(QStringLiteral("second")));
    EXPECT_TRUE(index.byId(QStringLiteral("first")));
    EXPECT_EQ(index.scanCount(), 1);

    // Even the applications folder of the home directory may appear only later.
    write(home, QStringLiteral("second.desktop"), application("Name=Second"));
    EXPECT_TRUE(index.byId(QStringLiteral("second")));
    EXPECT_EQ(index.scanCount(), 2);

    ASSERT_TRUE(QFile::remove(system.filePath(QStringLiteral("applications/first.desktop"))));
    EXPECT_FALSE(index.byId(QStringLiteral("first")));
}

TEST_F(DesktopEntryIndexTest, InstalledListSkipsBrokenEntriesAndRescansOnRequest)
{
    write(system, QStringLiteral("plain.desktop"), application("Name=Plain"));
    write(system, QStringLiteral("noicon.desktop"), application("Name=No Icon"));
    write(system, QStringLiteral("missingicon.desktop"), application("Name=Missing\nIcon=/nowhere/icon.png"));
    write(system, QStringLiteral("hidden.desktop"), application("Name=Hidden\nNoDisplay=true"));
    write(system, QStringLiteral("binary.desktop"), QByteArray("\0\xff\xfe[Desktop Entry\n=\n==\n", 18));
    write(system, QStringLiteral("huge.desktop"), application("Name=Huge\nComment=" + QByteArray(2 * 1024 * 1024, 'x')));
    write(system, QStringLiteral("longline.desktop"), application("Name=" + QByteArray(200 * 1024, 'y')));
    DesktopEntryIndex index({home.path(), system.path()}, QString());

    QStringList ids;
    for (const DesktopEntry &entry : index.shownEntries())
        ids.append(entry.id);
    ids.sort();
    EXPECT_EQ(ids, (QStringList{QStringLiteral("longline"), QStringLiteral("missingicon"), QStringLiteral("noicon"),
                                QStringLiteral("plain")}));

    write(home, QStringLiteral("later.desktop"), application("Name=Later"));
    EXPECT_EQ(index.shownEntries().size(), 4u) << "without a rescan the list stays as read";
    EXPECT_EQ(index.shownEntries(true).size(), 5u);
    EXPECT_TRUE(index.byId(QStringLiteral("later")));
}

} // namespace
