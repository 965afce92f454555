// Deleted history must not stay readable in the store's files: neither in the free space of the
// database file nor in its write-ahead log.
#include "StoreTestSupport.h"

#include "support/DiagnosticsCapture.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

const QString storeFile = QStringLiteral("Snipbrook.sqlite");
const QString logFile = QStringLiteral("Snipbrook.sqlite-wal");

// The names of the store's files whose bytes, as they are on disk now, contain the text.
QStringList filesContaining(const TemporaryStore &store, const QString &text)
{
    QStringList found;
    for (const QString &name : {storeFile, logFile}) {
        QFile file(QFileInfo(store->storePath()).dir().filePath(name));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            found << name;
    }
    return found;
}

} // namespace

TEST(DeletedText, DeletingAllItemsLeavesNoTextInTheStoreOrItsLog)
{
    TemporaryStore store;
    // Lower case, so that the folded copies kept for keyword search are the same bytes.
    const QString inStore = QStringLiteral("quartz-zebra written to the store file");
    const QString longText = QStringLiteral("lynx-saffron spills onto overflow pages ").repeated(300);
    const QString sourceApp = QStringLiteral("falcon-notes-app");
    const QString inLog = QStringLiteral("ocelot-mango only in the log");

    ClipboardItem withMetadata = makeItem(inStore, 0);
    withMetadata.metadata = ClipboardMetadata{};
    withMetadata.metadata->sourceApp = sourceApp;
    ASSERT_TRUE(store->createItem(withMetadata) && store->createItem(makeItem(longText, 1)));
    store.reopen(); // closing copies the log into the store file and removes the log
    ASSERT_TRUE(store->createItem(makeItem(inLog, 2)) && store->createItem(makeItem(QStringLiteral("x"), 3)));
    ASSERT_TRUE(filesContaining(store, inStore).contains(storeFile));
    ASSERT_TRUE(filesContaining(store, inLog).contains(logFile));

    ClipboardItemEntity unsaved = *store->fetchItemEntity(withMetadata.id);
    unsaved.content = QStringLiteral("edited");
    store->updateItemEntity(unsaved);

    DiagnosticsCapture log;
    EXPECT_TRUE(store->deleteAllItems());
    EXPECT_TRUE(log.contains(QStringLiteral("🧹 Deleted all 4 clipboard items from Core Data")));
    EXPECT_EQ(log.count(QStringLiteral("❌ ")), 0);
    EXPECT_FALSE(store->hasChanges());
    EXPECT_TRUE(store->fetchAllItems().isEmpty());

    // Read while the store is still open: the files as the running program leaves them.
    for (const QString &text : {inStore, longText.left(40), sourceApp, inLog})
        EXPECT_EQ(filesContaining(store, text), QStringList()) << text.toStdString();
    EXPECT_EQ(QFileInfo(store->storePath() + QStringLiteral("-wal")).size(), 0);

    // The store goes on working.
    const ClipboardItem next = makeItem(QStringLiteral("after the clear"), 4);
    ASSERT_TRUE(store->createItem(next));
    EXPECT_EQ(store->fetchAllItems().size(), 1);
}

TEST(DeletedText, ADeletedItemIsOverwrittenInTheStoreFile)
{
    TemporaryStore store;
    const ClipboardItem gone = makeItem(QStringLiteral("narwhal-pepper deleted alone"), 0);
    const ClipboardItem kept = makeItem(QStringLiteral("heron-basil stays"), 1);
    ASSERT_TRUE(store->createItem(gone) && store->createItem(kept));
    store.reopen();
    store->deleteItemEntity(*store->fetchItemEntity(gone.id));
    store.reopen();
    EXPECT_EQ(filesContaining(store, gone.content), QStringList());
    EXPECT_EQ(filesContaining(store, kept.content), QStringList{storeFile});
}
