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

TEST_F(HistoryOperationsTest, DeleteAndFavouritesReachMemoryStorageAndIndex)
{
    start();
    const ClipboardItem keep = makeItem(Type::text, QStringLiteral("keep"));
    const ClipboardItem gone = makeItem(Type::text, QStringLiteral("gone"));
    addAll({keep, gone});
    history->toggleFavorite(keep.id);
    history->toggleFavorite(gone.id);
    ASSERT_TRUE(waitFor([&] { return storage->loadFavoriteItems().size() == 2 && indexed(gone.id); }));
    history->toggleFavorite(keep.id);
    EXPECT_FALSE(history->clipboardItems()[1].isFavorite);
    ASSERT_TRUE(waitFor([&] { return storage->loadFavoriteItems().size() == 1; }));

    const QFuture<bool> deleted = history->deleteItem(gone.id);
    EXPECT_EQ(contents(), QStringList{QStringLiteral("keep")}) << "the history changes before the call returns";
    EXPECT_TRUE(history->favoriteItems().isEmpty());
    ASSERT_TRUE(waitFor([&] { return deleted.isFinished(); }));
    EXPECT_TRUE(deleted.result());
    EXPECT_TRUE(!stored(gone.id) && !indexed(gone.id));
    EXPECT_TRUE(waitFor([&] { return history->similaritySearchManager().indexedItemsCount() == 1; }));
}

TEST_F(HistoryOperationsTest, ClearAllEmptiesEverythingAndTheSearch)
{
    start();
    addAll({makeItem(Type::text, QStringLiteral("a"))});
    history->toggleFavorite(history->clipboardItems()[0].id);
    history->search(QStringLiteral("a"), false);
    ASSERT_TRUE(waitFor([&] { return !history->searchResults().isEmpty(); }));
    history->clearAllHistory();
    EXPECT_TRUE(history->clipboardItems().isEmpty() && history->favoriteItems().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ Cleared all clipboard history from hybrid storage")));
    ASSERT_TRUE(waitFor([&] { return history->searchResults().isEmpty() && storedItems().isEmpty(); }));
}

TEST_F(HistoryOperationsTest, RemoveDuplicatesKeepsTheNewestOfEachContentAndKind)
{
    // A and C: text with equal content; B: code with it. An older duplicate lies in storage only.
    const ClipboardItem c = makeItem(Type::text, QStringLiteral("same"), 30);
    const ClipboardItem b = makeItem(Type::code, QStringLiteral("same"), 20);
    const ClipboardItem a = makeItem(Type::text, QStringLiteral("same"), 10);
    seed({makeItem(Type::text, QStringLiteral("same"), 86400), c, b, a});
    setMaxItems(3);
    start();
    history->toggleFavorite(c.id);
    history->toggleFavorite(a.id);
    history->removeDuplicates();
    EXPECT_TRUE(log.contains(QStringLiteral("🧹 Removed 1 duplicate clipboard items")));
    ASSERT_EQ(history->clipboardItems().size(), 2);
    EXPECT_EQ(history->clipboardItems()[1].id, b.id);
    EXPECT_EQ(history->favoriteItems(), QSet<QUuid>{a.id});
    ASSERT_TRUE(waitFor([&] { return storedItems().size() == 2 && !indexed(c.id) && indexed(a.id) && indexed(b.id); }));
    EXPECT_TRUE(stored(a.id) && stored(b.id));
}

} // namespace
