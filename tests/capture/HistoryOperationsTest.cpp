#include "HistoryFixture.h"

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class HistoryOperationsTest : public HistoryFixture {
protected:
    bool indexed(const QUuid &id)
    {
        auto future = history->similaritySearchManager().indexedItem(id);
        future.waitForFinished();
        return future.result().has_value();
    }
};

TEST_F(HistoryOperationsTest, DeleteRemovesFromListFavouritesStorageAndIndex)
{
    start();
    const ClipboardItem keep = makeItem(ClipboardItemType::text, QStringLiteral("keep"));
    const ClipboardItem gone = makeItem(ClipboardItemType::text, QStringLiteral("gone"));
    addAll({keep, gone});
    history->toggleFavorite(gone.id);
    ASSERT_TRUE(waitFor([&] { return indexed(gone.id); }));

    history->deleteItem(gone.id);
    EXPECT_EQ(history->clipboardItems().size(), 2) << "applied on the next turn of the event loop";
    ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("✅ Item deletion completed")); }));
    EXPECT_EQ(contents(), QStringList{QStringLiteral("keep")});
    EXPECT_TRUE(history->favoriteItems().isEmpty());
    EXPECT_FALSE(storage.stored(gone.id).has_value());
    EXPECT_FALSE(indexed(gone.id));
    EXPECT_TRUE(indexed(keep.id));
}

TEST_F(HistoryOperationsTest, ToggleFavoriteTwiceLeavesItemAndRecordPlain)
{
    start();
    const ClipboardItem item = makeItem(ClipboardItemType::text, QStringLiteral("star me"));
    addAll({item});
    history->toggleFavorite(item.id);
    EXPECT_TRUE(history->clipboardItems().first().isFavorite);
    EXPECT_TRUE(history->favoriteItems().contains(item.id));
    ASSERT_TRUE(waitFor([&] { return storage.stored(item.id)->isFavorite; }));

    history->toggleFavorite(item.id);
    EXPECT_FALSE(history->clipboardItems().first().isFavorite);
    EXPECT_TRUE(history->favoriteItems().isEmpty());
    ASSERT_TRUE(waitFor([&] { return storage.calls().count(QStringLiteral("updateItem:star me")) == 2; }));
    EXPECT_FALSE(storage.stored(item.id)->isFavorite);

    // An id no longer listed still flips membership, and nothing is written.
    const QUuid stranger = QUuid::createUuid();
    history->toggleFavorite(stranger);
    EXPECT_TRUE(history->favoriteItems().contains(stranger));
    EXPECT_EQ(storage.calls().filter(QStringLiteral("updateItem")).size(), 2);
}

TEST_F(HistoryOperationsTest, ClearAllEmptiesEverythingAndTheSearch)
{
    start();
    addAll({makeItem(ClipboardItemType::text, QStringLiteral("a")), makeItem(ClipboardItemType::text, QStringLiteral("b"))});
    history->toggleFavorite(history->clipboardItems().first().id);
    history->search(QStringLiteral("a"), false);
    ASSERT_TRUE(waitFor([&] { return !history->searchResults().isEmpty(); }));

    history->clearAllHistory();
    EXPECT_TRUE(history->clipboardItems().isEmpty());
    EXPECT_TRUE(history->favoriteItems().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ Cleared all clipboard history from hybrid storage")));
    ASSERT_TRUE(waitFor([&] { return history->searchResults().isEmpty() && history->currentSearchQuery().isEmpty(); }));
    EXPECT_FALSE(history->isSearching());
    EXPECT_EQ(storage.storedCount(), 0);
    EXPECT_TRUE(storage.calls().contains(QStringLiteral("resetAllData")));
}

TEST_F(HistoryOperationsTest, RemoveDuplicatesKeepsTheNewestOfEachContentAndKind)
{
    // A and C: text with equal content; B: code with that content. An older duplicate lies in
    // storage beyond the in-memory limit. (Capturing would merge A and C; an earlier run's
    // records can still hold both.)
    const ClipboardItem ancient = makeItem(ClipboardItemType::text, QStringLiteral("same"), 86400);
    const ClipboardItem c = makeItem(ClipboardItemType::text, QStringLiteral("same"), 30);
    const ClipboardItem b = makeItem(ClipboardItemType::code, QStringLiteral("same"), 20);
    const ClipboardItem a = makeItem(ClipboardItemType::text, QStringLiteral("same"), 10);
    storage.seed({ancient, c, b, a});
    setMaxItems(3);
    start();
    ASSERT_EQ(history->clipboardItems().size(), 3);
    history->toggleFavorite(c.id);
    history->toggleFavorite(a.id);

    history->removeDuplicates();
    EXPECT_TRUE(log.contains(QStringLiteral("🧹 Removed 1 duplicate clipboard items")));
    ASSERT_EQ(history->clipboardItems().size(), 2);
    EXPECT_EQ(history->clipboardItems().at(0).id, a.id);
    EXPECT_EQ(history->clipboardItems().at(1).id, b.id);
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{a.id});

    // Storage loses C and the old duplicate; the mirror is rebuilt from A and B.
    ASSERT_TRUE(waitFor([&] { return storage.storedCount() == 2 && !indexed(c.id) && indexed(a.id) && indexed(b.id); }));
    EXPECT_TRUE(storage.stored(a.id) && storage.stored(b.id));
    const QStringList deletions = storage.calls().filter(QStringLiteral("deleteItem:"));
    EXPECT_EQ(deletions, (QStringList{QStringLiteral("deleteItem:same"), QStringLiteral("deleteItem:same")}));
    EXPECT_TRUE(waitFor([&] { return history->similaritySearchManager().indexedItemsCount() == 2; }));
}

} // namespace
