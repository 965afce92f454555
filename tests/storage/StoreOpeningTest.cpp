#include "StoreTestSupport.h"

#include "storage/ItemStoreSchema.h"
#include "storage/Sqlite.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <functional>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// The damaged stores kept aside in the store's folder (without their -wal and -shm files).
QStringList keptCopies(const TemporaryStore &store)
{
    const QStringList names =
        QDir(store.dataDir()).entryList({QStringLiteral("Snipbrook.sqlite.damaged-*")}, QDir::Files);
    return names.filter(QRegularExpression(QStringLiteral("damaged-\\d{8}-\\d{6}(-\\d+)?$")));
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

TEST(StoreOpening, AStoreThatCannotBeOpenedIsFatalAndLeftWhereItIs)
{
    QTemporaryDir folder;
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("plain-file")), "x"));
    QStringList messages;
    CoreDataManager blocked(folder.filePath(QStringLiteral("plain-file/Snipbrook")),
                            [&](const QString &m) { messages.append(m); });
    EXPECT_TRUE(blocked.fetchRecentItems(1).isEmpty());
    EXPECT_EQ(messages.size(), 1);

    // A store of a newer version is sound: it must be neither used nor moved.
    TemporaryStore store;
    ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("from the future"), 0)));
    SqliteDatabase(store->storePath(), false)
        .execute(("PRAGMA user_version = " + QByteArray::number(itemStoreSchemaVersion + 1)).constData());
    store.reopen();
    const QByteArray bytes = readFile(store->storePath());

    DiagnosticsCapture log;
    EXPECT_FALSE(store->createItem(makeItem(QStringLiteral("a"), 0)));
    ASSERT_EQ(store.fatalMessages.size(), 1);
    EXPECT_TRUE(store.fatalMessages[0].contains(store->storePath()));
    EXPECT_TRUE(store->healthText(QStringLiteral("ready"))
                    .startsWith(QStringLiteral("failing (The item store could not be opened: ")));

    // Without a store every operation falls back, and nothing tries to reopen or rewrite it.
    EXPECT_TRUE(store->fetchAllItems().isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to fetch clipboard items: ")), 1);
    std::optional<BatchInsertResult> batch;
    store->batchInsertItems({makeItem(QStringLiteral("b"), 0)}, [&](const BatchInsertResult &r) { batch = r; });
    ASSERT_TRUE(waitFor([&] { return batch.has_value(); }));
    EXPECT_FALSE(batch->saved);
    EXPECT_EQ(store.fatalMessages.size(), 1);
    EXPECT_EQ(readFile(store->storePath()), bytes);
    EXPECT_EQ(keptCopies(store), QStringList());
    EXPECT_FALSE(store->setAsideDamagedStore());
}

TEST(StoreOpening, ADamagedStoreIsKeptAsItWasAndANewOneStarts)
{
    // A file that is no database at all, and a store whose pages were damaged after a run that
    // left changes in its log.
    const auto notADatabase = [](TemporaryStore &store) {
        ASSERT_TRUE(QDir().mkpath(store.dataDir()));
        ASSERT_TRUE(writeFile(store->storePath(), QByteArray(4096, 'x')));
    };
    const auto damagedPages = [](TemporaryStore &store) {
        for (int n = 0; n < 200; ++n)
            ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("history entry %1 ").arg(n).repeated(10), n)));
        const QString path = store->storePath();
        store.store.reset(); // closing copies the log into the file
        {
            SqliteDatabase raw(path, false);
            raw.execute("UPDATE ClipboardItemEntity SET content = 'changed in the log' WHERE recordId = 1");
            raw.keepLogOnClose();
        }
        ASSERT_GT(QFileInfo(path + QStringLiteral("-wal")).size(), 0);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(8 * 4096));
        file.write(QByteArray(4 * 4096, '\xa5'));
    };
    using Damage = std::function<void(TemporaryStore &)>;
    for (const Damage &damage : {Damage(notADatabase), Damage(damagedPages)}) {
        TemporaryStore store;
        damage(store);
        store.reopen();
        QMap<QString, QByteArray> before;
        for (const char *suffix : {"", "-wal"})
            before[QLatin1String(suffix)] = readFile(store->storePath() + QLatin1String(suffix));

        DiagnosticsCapture log;
        EXPECT_TRUE(store->fetchAllItems().isEmpty());
        ASSERT_TRUE(store->setAsideDamagedStore());
        const QString kept = *store->setAsideDamagedStore();
        EXPECT_EQ(keptCopies(store), QStringList{QFileInfo(kept).fileName()});
        EXPECT_TRUE(QFileInfo(kept).fileName().startsWith(QStringLiteral("Snipbrook.sqlite.damaged-")));
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QString path = kept + it.key();
            EXPECT_EQ(readFile(path), it.value()) << path.toStdString();
            if (!it.value().isEmpty()) {
                EXPECT_EQ(modeOf(path), 0600) << path.toStdString();
            }
        }
        ASSERT_EQ(log.count(QStringLiteral("⚠️ The item store was damaged (")), 1);
        EXPECT_TRUE(log.lines().filter(QStringLiteral("⚠️ The item store was damaged")).value(0).endsWith(
            QStringLiteral("; kept it as ") + kept + QStringLiteral(" and started a new one")));
        EXPECT_EQ(store->healthText(QStringLiteral("ready")),
                  QStringLiteral("ready (a damaged store was kept as ") + kept + QLatin1Char(')'));
        EXPECT_TRUE(store.fatalMessages.isEmpty());

        // The new store works and is private; the next start finds it sound.
        ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("after the damage"), 0)));
        EXPECT_EQ(modeOf(store->storePath()), 0600);
        store.reopen();
        EXPECT_EQ(store->fetchAllItems().size(), 1);
        EXPECT_FALSE(store->setAsideDamagedStore());
        EXPECT_EQ(keptCopies(store).size(), 1);
    }
}

TEST(StoreOpening, SomeoneElsesTablesAreLeftAsTheyAreAndWritesFail)
{
    const QByteArray ourVersion = "PRAGMA user_version = " + QByteArray::number(itemStoreSchemaVersion);
    // One at our version without our columns, one at no version at all.
    for (const QByteArray &sql :
         {"CREATE TABLE ClipboardItemEntity (recordId INTEGER PRIMARY KEY, title TEXT);" + ourVersion,
          QByteArray("CREATE TABLE ClipboardItemEntity (id TEXT, content TEXT, type TEXT)")}) {
        TemporaryStore store;
        ASSERT_TRUE(QDir().mkpath(store.dataDir()));
        SqliteDatabase(store->storePath(), true).execute(sql.constData());
        const QByteArray bytes = readFile(store->storePath());

        DiagnosticsCapture log;
        EXPECT_FALSE(store->createItem(makeItem(QStringLiteral("a"), 0)));
        const QString problem =
            store->storePath() + QStringLiteral(" holds a table ClipboardItemEntity that Snipbrook did not make");
        const char *what = sql.constData();
        EXPECT_EQ(log.count(QStringLiteral("❌ The item store cannot be used, nothing will be stored: ") + problem), 1) << what;
        EXPECT_EQ(log.count(QStringLiteral("❌ Failed to create clipboard item: ") + problem), 1) << what;
        EXPECT_TRUE(store->healthText(QStringLiteral("ready")).startsWith(QStringLiteral("failing (") + problem)) << what;
        EXPECT_TRUE(store.fatalMessages.isEmpty());
        EXPECT_EQ(readFile(store->storePath()), bytes);
        EXPECT_EQ(keptCopies(store), QStringList());
    }
}

// The legacy import's record lives in the store too: a store of the version before gains the
// table on opening, and its flags outlive a clear and a restart.
TEST(StoreOpening, AnUpgradedStoreKeepsItsFlagsThroughAClearAndARestart)
{
    TemporaryStore store;
    ASSERT_TRUE(store->createItem(makeItem(QStringLiteral("kept through the upgrade"), 0)));
    const QString path = store->storePath();
    store.store.reset();
    SqliteDatabase(path, false).execute("DROP TABLE StoreFlags; PRAGMA user_version = 2");
    store.reopen();
    const QString imported = QStringLiteral("imported");
    EXPECT_FALSE(store->hasFlag(imported));
    EXPECT_EQ(store->fetchAllItems().size(), 1);
    ASSERT_TRUE(store->setFlag(imported));
    ASSERT_TRUE(store->setFlag(imported));
    ASSERT_TRUE(store->deleteAllItems());
    store.reopen();
    EXPECT_TRUE(store->hasFlag(imported));
    EXPECT_FALSE(store->hasFlag(QStringLiteral("something else")));
}
