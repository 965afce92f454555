#include "storage/PrivateFiles.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

TEST(RemovingFiles, GoneAfterwardsIsSuccessAnythingElseIsLogged)
{
    QTemporaryDir folder;
    DiagnosticsCapture log;
    const QString file = folder.filePath(QStringLiteral("index.json"));
    ASSERT_TRUE(writeFile(file, {}));
    EXPECT_TRUE(removeFileReporting(file, QStringLiteral("the index")));
    EXPECT_FALSE(QFileInfo::exists(file));

    // Not there, or not even possible below a plain file: gone all the same.
    EXPECT_TRUE(removeFileReporting(file, QStringLiteral("the index")));
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("plain")), {}));
    EXPECT_TRUE(removeFileReporting(folder.filePath(QStringLiteral("plain/index.json")), QStringLiteral("the index")));
    EXPECT_TRUE(log.lines().isEmpty());

    // A folder in the file's place fails for root too, and stays.
    const QString blocked = folder.filePath(QStringLiteral("blocked.json"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_FALSE(removeFileReporting(blocked, QStringLiteral("the index")));
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("❌ Failed to remove the index: ") + blocked + QStringLiteral(" (")));
    EXPECT_TRUE(log.lines()[0].endsWith(QLatin1Char(')')));
}
