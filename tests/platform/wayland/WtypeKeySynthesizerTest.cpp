#include "platform/wayland/WtypeKeySynthesizer.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class WtypeKeySynthesizerTest : public ::testing::Test {
protected:
    // A stand-in for wtype that records its arguments and ends with `exitCode`.
    QString fakeWtype(int exitCode)
    {
        const QString path = dir.filePath(QStringLiteral("wtype"));
        const QByteArray argsFile = QFile::encodeName(dir.filePath(QStringLiteral("args")));
        EXPECT_TRUE(writeFile(path, "#!/bin/sh\necho \"$@\" > '" + argsFile
                                        + "'\necho 'virtual keyboard rejected' >&2\nexit " + QByteArray::number(exitCode)));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString args() const { return QString::fromUtf8(readFile(dir.filePath(QStringLiteral("args")))).trimmed(); }

    QTemporaryDir dir;
    DiagnosticsCapture log;
};

TEST_F(WtypeKeySynthesizerTest, EveryModifierIsLetGoOfAndAFailureIsLoggedWithItsMessage)
{
    WtypeKeySynthesizer keys(true, {fakeWtype(0)});
    ASSERT_TRUE(keys.sendChord({Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_V}));
    ASSERT_TRUE(waitFor([&] { return !args().isEmpty(); }));
    EXPECT_EQ(args(), QStringLiteral("-M ctrl -M shift -k v -m shift -m ctrl"));
    // A key wtype cannot name is refused rather than typed as something else.
    EXPECT_FALSE(wtypeArguments({Qt::ControlModifier, Qt::Key_F13}));

    WtypeKeySynthesizer failing(true, {fakeWtype(3)});
    ASSERT_TRUE(failing.sendChord({Qt::ControlModifier, Qt::Key_V}));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("❌ wtype failed")) == 1; }));
    const QString line = log.lines().filter(QStringLiteral("wtype failed")).value(0);
    EXPECT_TRUE(line.contains(QStringLiteral("exit code 3"))) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("virtual keyboard rejected"))) << line.toStdString();
}

TEST_F(WtypeKeySynthesizerTest, WithoutWtypeOrTheVirtualKeyboardNothingIsSentAndTheReasonNamesWhatIsMissing)
{
    WtypeKeySynthesizer noProgram(true, {dir.filePath(QStringLiteral("missing-wtype"))});
    EXPECT_FALSE(noProgram.isAvailable());
    EXPECT_TRUE(noProgram.unavailableReason().contains(QStringLiteral("not installed")));
    EXPECT_FALSE(noProgram.sendChord({Qt::ControlModifier, Qt::Key_V}));

    WtypeKeySynthesizer noProtocol(false, {fakeWtype(0)});
    EXPECT_TRUE(noProtocol.unavailableReason().contains(QStringLiteral("zwp_virtual_keyboard_manager_v1")));
    EXPECT_FALSE(noProtocol.sendChord({Qt::ControlModifier, Qt::Key_V}));
    EXPECT_TRUE(args().isEmpty());
}

} // namespace
