#include "ui/CardGridModel.h"

#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace snipbrook::test {
namespace {

ClipboardItem textItem(const QString &content)
{
    return {QUuid::createUuid(), ClipboardItemType::text, content, content,
            QDateTime(QDate(2024, 5, 15), QTime(12, 0), Qt::UTC), {}, false, {}};
}

QStringList contents(const CardGridModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result.append(model.index(row).data(Qt::DisplayRole).toString());
    return result;
}

class CardGridModelTest : public ::testing::Test {
protected:
    CardGridModel model{[] { return QDateTime(QDate(2024, 5, 15), QTime(12, 5), Qt::UTC); }};
    QList<ClipboardItem> items{textItem("a"), textItem("b"), textItem("c"), textItem("d")};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy inserts{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removals{&model, &QAbstractItemModel::rowsRemoved};
    QSignalSpy changes{&model, &QAbstractItemModel::dataChanged};

    void SetUp() override
    {
        model.setItems(items);
        resets.clear();
        inserts.clear();
        removals.clear();
        changes.clear();
    }
};

TEST_F(CardGridModelTest, ANewCopyOnTopWithTheOldestTrimmedMovesNoOtherCard)
{
    QList<ClipboardItem> next = items;
    next.prepend(textItem("new"));
    next.removeLast();
    model.setItems(next);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(inserts.count(), 1);
    EXPECT_EQ(inserts[0][1].toInt(), 0);
    EXPECT_EQ(inserts[0][2].toInt(), 0);
    ASSERT_EQ(removals.count(), 1);
    EXPECT_EQ(removals[0][1].toInt(), 3);
    EXPECT_EQ(contents(model), QStringList({"new", "a", "b", "c"}));
}

TEST_F(CardGridModelTest, DeletingCardsRemovesTheirRowsOnly)
{
    model.setItems({items[0], items[3]});
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(removals.count(), 1);
    EXPECT_EQ(removals[0][1].toInt(), 1);
    EXPECT_EQ(removals[0][2].toInt(), 2);
    EXPECT_EQ(contents(model), QStringList({"a", "d"}));
}

TEST_F(CardGridModelTest, AFavouriteToggleRepaintsThatCardAlone)
{
    QList<ClipboardItem> next = items;
    next[2].isFavorite = true;
    model.setItems(next);
    EXPECT_EQ(resets.count() + inserts.count() + removals.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex().row(), 2);
    EXPECT_TRUE(model.index(2).data(CardGridModel::ItemRole).value<ClipboardItem>().isFavorite);
}

TEST_F(CardGridModelTest, AReorderedOrDifferentListResets)
{
    model.setItems({items[1], items[0], items[2], items[3]});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(contents(model), QStringList({"b", "a", "c", "d"}));

    const QList<ClipboardItem> other{textItem("x"), textItem("y")};
    model.setItems(other);
    EXPECT_EQ(contents(model), QStringList({"x", "y"}));
    model.setItems({});
    EXPECT_EQ(model.rowCount(), 0);
    model.setItems(items);
    EXPECT_EQ(contents(model), QStringList({"a", "b", "c", "d"}));
}

TEST_F(CardGridModelTest, ScatteredInsertionsAndRemovalsEndInTheNewOrder)
{
    const QList<ClipboardItem> next{textItem("0"), items[0], textItem("1"), items[2], textItem("2")};
    model.setItems(next);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(contents(model), QStringList({"0", "a", "1", "c", "2"}));
    for (int row = 0; row < next.size(); ++row)
        EXPECT_EQ(model.items()[row].id, next[row].id);
}

} // namespace
} // namespace snipbrook::test
