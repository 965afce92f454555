#include "HistoryFixture.h"

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class CategoriesTest : public HistoryFixture {
protected:
    QStringList in(const char *category) const
    {
        QStringList names;
        for (const ClipboardItem &item : history->itemsForCategory(QString::fromLatin1(category)))
            names.append(item.content);
        return names;
    }
    ClipboardItem at(const char *localIso, const char *content) const
    {
        QDateTime time = QDateTime::fromString(QString::fromLatin1(localIso), Qt::ISODate);
        time.setTimeZone(clock.timeZone());
        return {QUuid::createUuid(), Type::text, QString::fromLatin1(content), {}, time.toUTC(), {}, false, {}};
    }
};

TEST_F(CategoriesTest, NamedSelections)
{
    start();
    QList<ClipboardItem> items;
    for (int i = 0; i < 20; ++i)
        items.append(makeItem(i % 2 ? Type::link : Type::text, QString::number(i)));
    addAll(items);
    EXPECT_EQ(in("Recent").size(), 20);
    addAll({makeItem(Type::multipleFiles, QStringLiteral("2 files"))});
    EXPECT_EQ(in("Recent").size(), 20);
    EXPECT_EQ(in("Recent").last(), QStringLiteral("1"));
    EXPECT_EQ(in("All").size(), 21);
    EXPECT_EQ(in("No Such Category").size(), 21);
    EXPECT_EQ(in("recent").size(), 21) << "names compare exactly";
    EXPECT_EQ(in("Link").size(), 10);
    EXPECT_EQ(in("Multiple Files"), QStringList{QStringLiteral("2 files")});
    history->toggleFavorite(items[3].id);
    EXPECT_EQ(in("Favorites"), QStringList{QStringLiteral("3")});
    EXPECT_EQ(in("Starred"), QStringList{QStringLiteral("3")});
    EXPECT_TRUE(history->itemsForCategory(QStringLiteral("Link"))[8].isFavorite);

    // A category that is the whole history as it stands shares the history's list (the views of
    // a large history would otherwise each hold a copy); one that filters or marks is its own.
    EXPECT_TRUE(history->itemsForCategory(QStringLiteral("All")).isSharedWith(history->clipboardItems()));
    EXPECT_FALSE(history->itemsForCategory(QStringLiteral("Link")).isSharedWith(history->clipboardItems()));
}

TEST_F(CategoriesTest, TodayAndThisWeekCountCalendarDaysAcrossADaylightSavingChange)
{
    // New York moved its clocks forward on 10 March 2024: 7 calendar days before noon on the
    // 12th is 167 hours back, and the 10th had 23 hours.
    clock.set(QDateTime(QDate(2024, 3, 12), QTime(12, 0), clock.timeZone()));
    start();
    addAll({at("2024-03-05T11:30:00", "167.5 hours"), at("2024-03-05T12:00:00", "167 hours"),
            at("2024-03-10T01:59:00", "on the 10th"), at("2024-03-11T23:59:59", "last night"), at("2024-03-12T00:00:00", "midnight")});
    EXPECT_EQ(in("Today"), QStringList{QStringLiteral("midnight")});
    EXPECT_EQ(in("This Week"), (QStringList{QStringLiteral("midnight"), QStringLiteral("last night"), QStringLiteral("on the 10th"),
                                            QStringLiteral("167 hours")}));
    clock.set(QDateTime(QDate(2024, 3, 10), QTime(23, 30), clock.timeZone()));
    EXPECT_EQ(in("Today"), QStringList{QStringLiteral("on the 10th")});
}

} // namespace
