#include "HistoryFixture.h"

#include <QAbstractItemModelTester>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class HistoryOperationsTest : public HistoryFixture {
protected:
    template <typename T>
    T result(const QFuture<T> &future)
    {
        EXPECT_TRUE(waitFor([&] { return future.isFinished(); }));
        return future.resultCount() > 0 ? future.result() : T{};
    }
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

// Item views get the rows that changed: a capture inserts one row, a trim and a deletion remove
// exactly their rows, a favourite changes one, and nothing resets the model after the first load.
TEST_F(HistoryOperationsTest, TheListModelReportsRowChanges)
{
    setMaxItems(3);
    start();
    QAbstractItemModelTester tester(&history->historyModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList events;
    HistoryModel &model = history->historyModel();
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](auto, int first, int last) { events << QStringLiteral("+%1-%2").arg(first).arg(last); });
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&](auto, int first, int last) { events << QStringLiteral("x%1-%2").arg(first).arg(last); });
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex &a, const QModelIndex &b) { events << QStringLiteral("~%1-%2").arg(a.row()).arg(b.row()); });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { events << QStringLiteral("reset"); });

    const ClipboardItem a = makeItem(Type::text, QStringLiteral("a")), b = makeItem(Type::text, QStringLiteral("b")),
                        c = makeItem(Type::text, QStringLiteral("c")), d = makeItem(Type::text, QStringLiteral("d"));
    history->addItem(a);
    history->addItem(b);
    history->addItem(c);
    history->addItem(d); // pushes out a
    history->addItem(makeItem(Type::text, QStringLiteral("b"))); // replaces b, which sits in row 2
    history->toggleFavorite(c.id);
    history->deleteItem(d.id);
    EXPECT_EQ(events, (QStringList{"+0-0", "+0-0", "+0-0", "+0-0", "x3-3", "x2-2", "+0-0", "~2-2", "x1-1"}));
    EXPECT_EQ(contents(), (QStringList{"b", "c"}));
    EXPECT_EQ(model.data(model.index(1), HistoryModel::IsFavoriteRole).toBool(), true);
}

// Items older than the clean-up interval leave the history, the store and the vector index;
// favourites stay whatever their age, and switching clean-up off keeps everything.
TEST_F(HistoryOperationsTest, OldItemsAreCleanedUpButFavouritesStay)
{
    constexpr qint64 day = 86400;
    ClipboardItem oldFavorite = makeItem(Type::text, QStringLiteral("old favourite"), 40 * day);
    oldFavorite.isFavorite = true;
    const ClipboardItem old = makeItem(Type::text, QStringLiteral("thirty one days old"), 31 * day);
    const ClipboardItem recent = makeItem(Type::text, QStringLiteral("twenty nine days old"), 29 * day);
    seed({oldFavorite, old, recent});
    AppConfiguration document = configuration.configuration();
    document.settings.cleanupIntervalDays = 30;
    document.settings.autoCleanupEnabled = true;
    configuration.setConfiguration(document);
    start();
    ASSERT_TRUE(waitFor([&] { return !stored(old.id); }));
    EXPECT_EQ(contents(), (QStringList{recent.content, oldFavorite.content}));
    EXPECT_TRUE(stored(oldFavorite.id) && stored(recent.id));
    ASSERT_TRUE(waitFor([&] {
        const auto entries = result(vectors.entries());
        return entries.size() == 2 && std::none_of(entries.begin(), entries.end(), [&](const VectorItem &e) { return e.text == old.content; });
    }));

    document.settings.autoCleanupEnabled = false;
    configuration.setConfiguration(document);
    clock.advanceSeconds(2 * day);
    EXPECT_EQ(result(history->cleanUpOldItems()), 0);
    document.settings.autoCleanupEnabled = true;
    configuration.setConfiguration(document);
    EXPECT_EQ(result(history->cleanUpOldItems()), 1);
    EXPECT_EQ(contents(), QStringList{oldFavorite.content});
}
