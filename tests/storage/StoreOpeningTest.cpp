#include "StoreTestSupport.h"

#include "storage/Sqlite.h"
#include "support/DiagnosticsCapture.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

int modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(StoreOpening, FolderAndFilesArePrivateToTheUser)
{
    TemporaryStore store;
    ASSERT_TRUE(QDir().mkpath(store.dataDir()));
    QFile::setPermissions(store.dataDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ReadOther | QFileDevice::ExeOther);
    ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("secret"), 0)));
    EXPECT_EQ(modeOf(store.dataDir()), 0700);
    for (const char *suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(modeOf(store->storePath() + QLatin1String(suffix)), 0600) << suffix;
}

TEST(StoreOpening, AnUnreadableStoreIsFatalAndLeftUntouched)
{
    TemporaryStore store;
    ASSERT_TRUE(QDir().mkpath(store.dataDir()));
    const QByteArray garbage(4096, 'x');
    writeFile(store->storePath(), garbage);

    DiagnosticsCapture log;
    EXPECT_FALSE(store->createItem(makeItem(QStringLiteral("a"), 0)));
    ASSERT_EQ(store.fatalMessages.size(), 1);
    EXPECT_TRUE(store.fatalMessages[0].contains(store->storePath()));

    // Without a store every operation falls back, and nothing tries to reopen or rewrite it.
    EXPECT_TRUE(store->fetchAllItems().isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to fetch clipboard items: ")), 1);
    std::optional<BatchInsertResult> batch;
    store->batchInsertItems({makeItem(QStringLiteral("b"), 0)}, [&](const BatchInsertResult &r) { batch = r; });
    ASSERT_TRUE(waitFor([&] { return batch.has_value(); }));
    EXPECT_FALSE(batch->saved);
    EXPECT_EQ(store.fatalMessages.size(), 1);
    QFile file(store->storePath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == garbage);
}

TEST(StoreOpening, FolderThatCannotBeMadeAndNewerSchemaAreFatal)
{
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("plain-file")), "x");
    QStringList messages;
    CoreDataManager blocked(folder.filePath(QStringLiteral("plain-file/Snipbrook")),
                            [&](const QString &m) { messages.append(m); });
    EXPECT_TRUE(blocked.fetchRecentItems(1).isEmpty());
    EXPECT_EQ(messages.size(), 1);

    TemporaryStore store;
    ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("from the future"), 0)));
    SqliteDatabase(store->storePath(), false).execute("PRAGMA user_version = 99");
    store.reopen();
    EXPECT_TRUE(store->fetchAllItems().isEmpty());
    EXPECT_EQ(store.fatalMessages.size(), 1);
}
