// The compositor the Wayland tests stand on: what a test binds runs as the test itself (sway runs
// as another user under root), and nothing of a stopped compositor stays behind.
#include "WaylandTestEnvironment.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace snipbrook::test;

TEST(HeadlessSway, BoundKeysRunTheProgramAsThisProcessWithTheGivenEnvironment)
{
    SKIP_WITHOUT_SWAY();
    QTemporaryDir dir;
    const QString file = dir.filePath("ran");
    QProcessEnvironment environment;
    environment.insert("MARK", "bound for the test");
    ASSERT_TRUE(testCompositor().bindKeys("ctrl+alt+j", "/bin/sh", {"-c", "echo \"$(id -u) $MARK\" > \"$0\"", file},
                                          environment));
    ASSERT_TRUE(wtype({"-M", "ctrl", "-M", "alt", "-k", "j", "-m", "alt", "-m", "ctrl"}));
    EXPECT_TRUE(waitFor(
        [&] {
            QFile in(file);
            return in.open(QIODevice::ReadOnly) && in.readAll() == QByteArray::number(::getuid()) + " bound for the test\n";
        },
        10000));
    EXPECT_TRUE(testCompositor().unbindKeys("ctrl+alt+j"));
}

TEST(HeadlessSway, StoppingLeavesNoCompositorOrFolderBehind)
{
    SKIP_WITHOUT_SWAY();
    HeadlessSway second;
    ASSERT_TRUE(second.start()) << second.failure().toStdString();
    const QString folder = QFileInfo(second.waylandDisplay()).path();
    ASSERT_NE(folder, QFileInfo(testCompositor().waylandDisplay()).path());
    ASSERT_TRUE(second.request(HeadlessSway::Request::GetOutputs).has_value());
    second.stop();
    EXPECT_FALSE(second.request(HeadlessSway::Request::GetOutputs).has_value());
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(testCompositor().request(HeadlessSway::Request::GetOutputs).has_value()) << "the first one went too";
}
