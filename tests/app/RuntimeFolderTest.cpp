// The folder of the instance's lock and socket when XDG_RUNTIME_DIR is unset: another local user
// must not be able to prepare it, or every start would find a foreign socket or a lock it cannot
// take.
#include "app/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace snipbrook;

namespace {

int mode(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

class RuntimeFolderTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (savedRuntimeDir.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", savedRuntimeDir.toLocal8Bit());
    }

    QTemporaryDir root;
    const QString savedRuntimeDir = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") ? qEnvironmentVariable("XDG_RUNTIME_DIR") : QString();
};

TEST_F(RuntimeFolderTest, WithoutTheSessionFolderItIsOneOfOurOwnNamedAfterTheUserId)
{
    const QString ours = QStringLiteral("/tmp/snipbrook-%1").arg(::geteuid());
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(RuntimeFolder::location(), ours);
    qputenv("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_EQ(RuntimeFolder::location(), ours) << "a relative value is ignored";

    const QString session = root.filePath(QStringLiteral("run/user"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(session));
    const RuntimeFolder claimed = RuntimeFolder::claim();
    EXPECT_EQ(claimed.path, session);
    EXPECT_TRUE(claimed.problem.isEmpty());
    EXPECT_EQ(mode(session), 0700) << "created private when missing";
}

TEST_F(RuntimeFolderTest, OurFolderIsCreatedPrivateWhateverTheUmask)
{
    const QString folder = root.filePath(QStringLiteral("snipbrook-1000"));
    const mode_t previous = ::umask(0277);
    const auto problem = claimPrivateFolder(folder);
    ::umask(previous);
    EXPECT_FALSE(problem) << problem->toStdString();
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_FALSE(claimPrivateFolder(folder)) << "found again as it was left";
}

TEST_F(RuntimeFolderTest, AFolderPreparedBySomeoneElseIsRefusedWithTheReason)
{
    const QString folder = root.filePath(QStringLiteral("snipbrook-1000"));
    const QByteArray name = QFile::encodeName(folder);

    ASSERT_EQ(::mkdir(name.constData(), 0700), 0);
    ASSERT_EQ(::chmod(name.constData(), 0777), 0);
    EXPECT_EQ(claimPrivateFolder(folder).value_or(QString()),
              folder + QStringLiteral(" has mode 0777, not 0700; Snipbrook will not use it. Remove it, or set "
                                      "XDG_RUNTIME_DIR to a folder of your own."));
    ASSERT_EQ(::chmod(name.constData(), 0750), 0);
    EXPECT_TRUE(claimPrivateFolder(folder).value_or(QString()).contains(QStringLiteral("has mode 0750")));
    EXPECT_EQ(mode(folder), 0750) << "refused, not repaired: someone else may have been inside";

    // A link to a private folder of ours is still a link someone else may have made.
    const QString target = root.filePath(QStringLiteral("target"));
    ASSERT_FALSE(claimPrivateFolder(target));
    const QString link = root.filePath(QStringLiteral("snipbrook-link"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_TRUE(claimPrivateFolder(link).value_or(QString()).contains(QStringLiteral("is a symbolic link")));

    const QString file = root.filePath(QStringLiteral("snipbrook-file"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_TRUE(claimPrivateFolder(file).value_or(QString()).contains(QStringLiteral("is not a folder")));
}

TEST_F(RuntimeFolderTest, AFolderOfAnotherUserIsRefused)
{
    const QString folder = root.filePath(QStringLiteral("snipbrook-1000"));
    const QByteArray name = QFile::encodeName(folder);
    ASSERT_EQ(::mkdir(name.constData(), 0700), 0);
    // Tests run as root, who can hand the folder to another user.
    if (::chown(name.constData(), 4242, 4242) != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    EXPECT_EQ(claimPrivateFolder(folder).value_or(QString()),
              folder + QStringLiteral(" belongs to another user (uid 4242); Snipbrook will not use it. Remove it, or "
                                      "set XDG_RUNTIME_DIR to a folder of your own."));
}

} // namespace
