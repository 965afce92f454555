#include "platform/linux/XdgAutostart.h"
#include "system/LoginItemManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// An autostart registration that fails the next `failures` calls.
class FlakyAutostart : public Autostart {
public:
    bool isEnabled() const override { return enabled; }
    bool setEnabled(bool on, QString *error) override
    {
        ++calls;
        if (failures > 0) {
            --failures;
            *error = QStringLiteral("disk on fire");
            return false;
        }
        enabled = on;
        return true;
    }
    bool enabled = false;
    int failures = 0;
    int calls = 0;
};

class XdgAutostartTest : public ::testing::Test {
protected:
    QString configHome() const { return dir.path() + QStringLiteral("/config"); }
    QString entryPath() const { return configHome() + QStringLiteral("/autostart/com.snipbrook.app.desktop"); }

    QTemporaryDir dir;
    DiagnosticsCapture log;
};

} // namespace

TEST(LoginItemManagerTest, ToggleFlipsTheRegistrationAndPublishesOnlyRealChanges)
{
    FlakyAutostart autostart;
    autostart.enabled = true;
    LoginItemManager manager(autostart);
    EXPECT_TRUE(manager.isAutoStartEnabled());
    QSignalSpy changed(&manager, &LoginItemManager::autoStartEnabledChanged);
    DiagnosticsCapture log;

    manager.toggleAutoStart();
    EXPECT_FALSE(autostart.enabled);
    EXPECT_FALSE(manager.isAutoStartEnabled());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toBool(), false);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Auto-start disabled using SMAppService")));

    // enableAutoStart alone leaves the published flag until the next toggle reads it again.
    manager.enableAutoStart();
    EXPECT_TRUE(autostart.enabled);
    EXPECT_FALSE(manager.isAutoStartEnabled());
    // The flag read false, so the toggle enables again and reads the state back.
    manager.toggleAutoStart();
    EXPECT_TRUE(manager.isAutoStartEnabled());
    EXPECT_EQ(changed.count(), 2);
    // A toggle that could not change anything publishes nothing.
    autostart.failures = 2;
    manager.toggleAutoStart();
    EXPECT_TRUE(manager.isAutoStartEnabled());
    EXPECT_EQ(changed.count(), 2);
}

TEST(LoginItemManagerTest, AFailedRegistrationIsLoggedAndRetriedOnceAsTheFallback)
{
    FlakyAutostart autostart;
    LoginItemManager manager(autostart);
    DiagnosticsCapture log;

    autostart.failures = 1;
    manager.enableAutoStart();
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("❌ Failed to enable auto-start with SMAppService: disk on fire"),
                                        QStringLiteral("✅ Auto-start enabled using legacy SMLoginItemSetEnabled")}));
    EXPECT_TRUE(autostart.enabled);

    log.clear();
    autostart.failures = 2;
    autostart.calls = 0;
    manager.disableAutoStart();
    EXPECT_EQ(autostart.calls, 2);
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("❌ Failed to disable auto-start with SMAppService: disk on fire"),
                                        QStringLiteral("❌ Failed to disable auto-start with legacy method")}));
    EXPECT_TRUE(autostart.enabled);
}

TEST_F(XdgAutostartTest, TheEntryIsWrittenPrivateReadBackAndRemoved)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    XdgAutostart autostart(QStringLiteral("/opt/snip brook/bin/snipbrook"), {QStringLiteral("--background")});
    qunsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(autostart.entryPath(), entryPath());
    EXPECT_FALSE(autostart.isEnabled());

    QString error;
    ASSERT_TRUE(autostart.setEnabled(true, &error)) << error.toStdString();
    EXPECT_TRUE(autostart.isEnabled());
    const QString text = QString::fromUtf8(readFile(entryPath()));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\nName=Snipbrook\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/snip brook/bin/snipbrook\" --background\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=com.snipbrook.app\nTerminal=false\nX-GNOME-Autostart-enabled=true\n")));
    EXPECT_EQ(modeOf(entryPath()), 0600);
    EXPECT_EQ(modeOf(configHome() + QStringLiteral("/autostart")), 0700);
    EXPECT_EQ(modeOf(configHome()), 0700);

    ASSERT_TRUE(autostart.setEnabled(false, &error));
    EXPECT_FALSE(QFile::exists(entryPath()));
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.setEnabled(false, &error)) << "removing an absent entry is not a failure";
}

TEST_F(XdgAutostartTest, AnEntryTheUserSwitchedOffReadsAsOff)
{
    XdgAutostart autostart(QStringLiteral("/usr/bin/snipbrook"), {}, configHome());
    ASSERT_TRUE(QDir().mkpath(configHome() + QStringLiteral("/autostart")));
    ASSERT_TRUE(writeFile(entryPath(), "[Desktop Entry]\nType=Application\nExec=snipbrook\nHidden=true\n"));
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(writeFile(entryPath(), "[Desktop Entry]\nExec=snipbrook\nX-GNOME-Autostart-enabled=false\n"));
    EXPECT_FALSE(autostart.isEnabled());
    // Only the main group counts.
    ASSERT_TRUE(writeFile(entryPath(), "[Desktop Entry]\nExec=snipbrook\n[Desktop Action x]\nHidden=true\n"));
    EXPECT_TRUE(autostart.isEnabled());
}

TEST_F(XdgAutostartTest, ExecArgumentsWithReservedCharactersAreQuotedAndEscaped)
{
    bool ok = false;
    EXPECT_EQ(quotedExecArgument(QStringLiteral("/a b/$x"), &ok), QStringLiteral("\"/a b/\\\\$x\""));
    EXPECT_EQ(quotedExecArgument(QStringLiteral("/a\"b"), &ok), QStringLiteral("\"/a\\\\\"b\""));
    EXPECT_EQ(quotedExecArgument(QStringLiteral("/100%"), &ok), QStringLiteral("/100%%"));
    EXPECT_TRUE(ok);

    XdgAutostart withLineBreak(QStringLiteral("/a\nExec=/tmp/evil"), {}, configHome());
    QString error;
    EXPECT_FALSE(withLineBreak.setEnabled(true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(entryPath()));
}

TEST_F(XdgAutostartTest, AnUnwritableFolderFailsClearlyAndKeepsThePreviousState)
{
    // A file where the folder should be: writing fails even for root.
    ASSERT_TRUE(QDir().mkpath(configHome()));
    ASSERT_TRUE(writeFile(configHome() + QStringLiteral("/autostart"), "not a folder"));
    XdgAutostart autostart(QStringLiteral("/usr/bin/snipbrook"), {QStringLiteral("--background")}, configHome());
    LoginItemManager manager(autostart);
    QSignalSpy changed(&manager, &LoginItemManager::autoStartEnabledChanged);

    manager.toggleAutoStart();
    EXPECT_FALSE(manager.isAutoStartEnabled());
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to enable auto-start with SMAppService: not a folder: ")), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to enable auto-start with legacy method")));
    EXPECT_EQ(readFile(configHome() + QStringLiteral("/autostart")), "not a folder");
}
