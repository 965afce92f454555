#include "platform/linux/SettingsPreferences.h"
#include "support/DiagnosticsCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace snipbrook;

namespace {

int mode(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

TEST(SettingsPreferences, ValuesKeepTheirTypesInAFreshInstanceReadingTheFile)
{
    QTemporaryDir root;
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    bytes += QByteArray("{\"name\":\"caf\xc3\xa9 \xf0\x9f\x98\x80\",\"a\":[1,2]} ; # = % \\");
    const QDateTime when = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 123), Qt::UTC);
    {
        SettingsPreferences preferences(root.filePath(QStringLiteral("a")));
        preferences.setBytes(QStringLiteral("AppConfiguration"), bytes);
        preferences.setBytes(QStringLiteral("empty"), QByteArray());
        preferences.setDate(QStringLiteral("lastUpdateCheck"), when);
        preferences.setBoolean(QStringLiteral("hasShownWelcome"), true);
        preferences.setBoolean(QStringLiteral("startInBackground"), false);
        preferences.setBoolean(QStringLiteral("gone"), true);
        preferences.remove(QStringLiteral("gone"));
    }
    // A copy in another folder is parsed from disk, not served from this process's cache.
    QDir().mkpath(root.filePath(QStringLiteral("b")));
    ASSERT_TRUE(QFile::copy(root.filePath(QStringLiteral("a/Snipbrook.conf")), root.filePath(QStringLiteral("b/Snipbrook.conf"))));
    const SettingsPreferences reread(root.filePath(QStringLiteral("b")));
    EXPECT_EQ(reread.bytes(QStringLiteral("AppConfiguration")), bytes);
    EXPECT_EQ(reread.bytes(QStringLiteral("empty")), QByteArray());
    EXPECT_EQ(reread.date(QStringLiteral("lastUpdateCheck")), when);
    EXPECT_TRUE(reread.boolean(QStringLiteral("hasShownWelcome")));
    EXPECT_FALSE(reread.boolean(QStringLiteral("startInBackground")));
    EXPECT_FALSE(reread.contains(QStringLiteral("gone")));
    EXPECT_FALSE(reread.boolean(QStringLiteral("never.set")));
    // A value asked for as another type is not there.
    EXPECT_FALSE(reread.bytes(QStringLiteral("lastUpdateCheck")));
    EXPECT_FALSE(reread.date(QStringLiteral("AppConfiguration")));
    EXPECT_FALSE(reread.boolean(QStringLiteral("AppConfiguration")));
}

TEST(SettingsPreferences, FileAndFolderArePrivateToTheUser)
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("config/Snipbrook"));
    SettingsPreferences(folder).setBoolean(QStringLiteral("hasShownWelcome"), true);
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(folder + QStringLiteral("/Snipbrook.conf")), 0600);

    // A file left readable by others is made private.
    ::chmod(QFile::encodeName(folder + QStringLiteral("/Snipbrook.conf")).constData(), 0644);
    SettingsPreferences again(folder);
    again.setBytes(QStringLiteral("AppConfiguration"), "{}");
    EXPECT_EQ(mode(folder + QStringLiteral("/Snipbrook.conf")), 0600);
    EXPECT_TRUE(again.boolean(QStringLiteral("hasShownWelcome")));
}

// A settings folder that cannot be written (a full disk, a read-only home) must not pass for a
// saved change: sync() says so until the values really reach the file.
TEST(SettingsPreferences, AWriteTheFileRefusedIsReportedAndGoesOutOnceItCan)
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("config"));
    SettingsPreferences preferences(folder);
    preferences.setBoolean(QStringLiteral("hasShownWelcome"), true);
    ASSERT_TRUE(preferences.sync());

    // The folder steps aside for a plain file: nothing can be written under it, not even by root.
    const QString aside = root.filePath(QStringLiteral("aside"));
    ASSERT_TRUE(QDir().rename(folder, aside));
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    test::DiagnosticsCapture log;
    preferences.setBytes(QStringLiteral("AppConfiguration"), "{\"a\":1}");
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to write preferences: ") + preferences.filePath()));
    EXPECT_FALSE(preferences.sync());
    EXPECT_FALSE(preferences.sync()) << "still refused";
    EXPECT_EQ(preferences.bytes(QStringLiteral("AppConfiguration")), QByteArray("{\"a\":1}")) << "kept in memory";

    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().rename(aside, folder));
    EXPECT_TRUE(preferences.sync());
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Preferences written again: ") + preferences.filePath()));
    const QString copy = root.filePath(QStringLiteral("copy"));
    QDir().mkpath(copy);
    ASSERT_TRUE(QFile::copy(preferences.filePath(), copy + QStringLiteral("/Snipbrook.conf")));
    const SettingsPreferences reread(copy);
    EXPECT_EQ(reread.bytes(QStringLiteral("AppConfiguration")), QByteArray("{\"a\":1}"));
    EXPECT_TRUE(reread.boolean(QStringLiteral("hasShownWelcome")));
}
