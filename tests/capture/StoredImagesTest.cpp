#include "HistoryFixture.h"

#include "model/Uuid.h"

#include <QRandomGenerator>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// Large images: the history holds them without their data once the store has it.
class StoredImagesTest : public HistoryFixture {
protected:
    // Bytes no image reader accepts, so the clipboard gets them exactly as they are.
    static QByteArray imageBytes(quint32 seed)
    {
        QByteArray bytes(48 * 1024, Qt::Uninitialized);
        QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        return bytes;
    }
    ClipboardItem imageItem(quint32 seed, qint64 secondsAgo = 0) const
    {
        return makeItem(Type::image, QString::fromLatin1(imageBytes(seed).toBase64()), secondsAgo);
    }
    const ClipboardItem &top() const { return history->clipboardItems().at(0); }
    std::optional<bool> copyBack(const ClipboardItem &item)
    {
        std::optional<bool> written;
        history->copyItem(item, [&](bool itemWritten) { written = itemWritten; });
        EXPECT_TRUE(waitFor([&] { return written.has_value(); }));
        return written;
    }
};

TEST_F(StoredImagesTest, AnOldImageCopiedBackAfterARestartIsTheExactImage)
{
    const ClipboardItem image = imageItem(1);
    seed({image, makeItem(Type::text, QStringLiteral("small"), 5)});
    start();
    ASSERT_EQ(history->clipboardItems().size(), 2);
    ASSERT_TRUE(top().isContentInStore());
    EXPECT_TRUE(top().content.isEmpty());
    EXPECT_FALSE(history->clipboardItems().at(1).isContentInStore()); // only large images

    EXPECT_EQ(copyBack(top()), true);
    EXPECT_EQ(pasteboard.contents().dataForType(mime::png), imageBytes(1));
    EXPECT_EQ(log.count(QStringLiteral("✅ Successfully copied item to clipboard: ")), 1);
}

TEST_F(StoredImagesTest, AFreshImageLeavesItsDataInTheStoreOnceSavedAndStillCopiesBack)
{
    start();
    history->addItem(imageItem(2));
    ASSERT_TRUE(waitFor([&] { return top().isContentInStore(); }));
    EXPECT_TRUE(top().content.isEmpty());
    EXPECT_TRUE(top().preview.isEmpty());
    EXPECT_EQ(copyBack(top()), true);
    EXPECT_EQ(pasteboard.contents().dataForType(mime::png), imageBytes(2));
}

TEST_F(StoredImagesTest, TheDuplicateRuleHoldsForImagesHeldWithoutTheirData)
{
    // Two stored copies of one image, and another image.
    seed({imageItem(3, 30), imageItem(3, 20), imageItem(4, 10)});
    start();
    ASSERT_EQ(history->clipboardItems().size(), 3);
    for (const ClipboardItem &item : history->clipboardItems())
        ASSERT_TRUE(item.isContentInStore());

    QFutureWatcher<int> removed;
    removed.setFuture(history->removeDuplicates());
    ASSERT_TRUE(waitFor([&] { return removed.isFinished(); }));
    EXPECT_EQ(removed.result(), 1);
    EXPECT_EQ(history->clipboardItems().size(), 2);
    EXPECT_EQ(storedItems().size(), 2);

    // Copying the same image again replaces it; a different one does not.
    const ClipboardItem again = imageItem(4);
    history->addItem(again);
    ASSERT_TRUE(waitForDeliveries());
    ASSERT_EQ(history->clipboardItems().size(), 2);
    EXPECT_EQ(top().id, again.id);
    history->addItem(imageItem(5));
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(history->clipboardItems().size(), 3);
    EXPECT_EQ(storedItems().size(), 3);
}

TEST_F(StoredImagesTest, StarringAnImageKeepsItsStoredData)
{
    const ClipboardItem image = imageItem(6);
    seed({image});
    start();
    ASSERT_TRUE(top().isContentInStore());
    QFutureWatcher<bool> starred;
    starred.setFuture(history->toggleFavorite(image.id));
    ASSERT_TRUE(waitFor([&] { return starred.isFinished(); }));
    ASSERT_TRUE(starred.result());
    const std::optional<ClipboardItemEntity> record = store.fetchItemEntity(image.id);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isFavorite);
    EXPECT_EQ(record->content, image.content);
    EXPECT_EQ(copyBack(top()), true);
    EXPECT_EQ(pasteboard.contents().dataForType(mime::png), imageBytes(6));
}

TEST_F(StoredImagesTest, AnImageWhoseStoredDataIsGoneLogsAndLeavesTheClipboardAlone)
{
    const ClipboardItem image = imageItem(7);
    seed({image});
    start();
    ASSERT_TRUE(top().isContentInStore());
    store.deleteItemEntity(*store.fetchItemEntity(image.id)); // behind the history's back
    pasteboard.copyText(QStringLiteral("what the user copied"));
    ASSERT_TRUE(waitFor([&] { return contents().value(0) == QStringLiteral("what the user copied"); }));

    EXPECT_EQ(copyBack(history->clipboardItems().at(1)), false);
    EXPECT_TRUE(log.contains(QStringLiteral("❌ The stored data of clipboard item ") + uuidString(image.id) +
                             QStringLiteral(" is missing")));
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to copy item to clipboard: its stored data could not be read")), 1);
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("what the user copied"));

    QFutureWatcher<std::optional<ClipboardItem>> read;
    read.setFuture(history->withContent(history->clipboardItems().at(1)));
    ASSERT_TRUE(waitFor([&] { return read.isFinished(); }));
    EXPECT_FALSE(read.result());
}

} // namespace
