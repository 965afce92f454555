#include "HistoryFixture.h"

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class CategoriesTest : public HistoryFixture {
protected:
    QStringList namesIn(const QString &category) const
    {
        QStringList names;
        for (const ClipboardItem &item : history->itemsForCategory(category))
            names.append(item.content);
        return names;
    }

    ClipboardItem at(const char *localIso, const QString &content, ClipboardItemType type = ClipboardItemType::text) const
    {
        ClipboardItem item = makeItem(type, content);
        QDateTime time = QDateTime::fromString(QString::fromLatin1(localIso), Qt::ISODate);
        time.setTimeZone(clock.timeZone());
        item.timestamp = time.toUTC();
        return item;
    }
};

TEST_F(CategoriesTest, RecentIsTheNewestTwenty)
{
    start();
    QList<ClipboardItem> items;
    for (int i = 0; i < 21; ++i)
        items.append(makeItem(ClipboardItemType::text, QString::number(i)));
    addAll(items.mid(0, 20));
    EXPECT_EQ(history->itemsForCategory(QStringLiteral("Recent")).size(), 20);
    addAll({items.last()});
    const QStringList recent = namesIn(QStringLiteral("Recent"));
    ASSERT_EQ(recent.size(), 20);
    EXPECT_EQ(recent.first(), QStringLiteral("20"));
    EXPECT_EQ(recent.last(), QStringLiteral("1"));
    EXPECT_EQ(history->itemsForCategory(QStringLiteral("All")).size(), 21);
    // A name that matches nothing, and a category without a kind, show everything.
    EXPECT_EQ(history->itemsForCategory(QStringLiteral("No Such Category")).size(), 21);
    EXPECT_EQ(history->itemsForCategory(QStringLiteral("recent")).size(), 21) << "names compare exactly";
}

TEST_F(CategoriesTest, FavouritesFollowTheFlagAndCopiesCarryTheSet)
{
    start();
    const ClipboardItem plain = makeItem(ClipboardItemType::text, QStringLiteral("plain"));
    const ClipboardItem starred = makeItem(ClipboardItemType::text, QStringLiteral("starred"));
    addAll({plain, starred});
    history->toggleFavorite(starred.id);
    EXPECT_EQ(namesIn(QStringLiteral("Favorites")), QStringList{QStringLiteral("starred")});
    EXPECT_EQ(namesIn(QStringLiteral("Starred")), QStringList{QStringLiteral("starred")});
    const QList<ClipboardItem> all = history->itemsForCategory(QStringLiteral("All"));
    EXPECT_TRUE(all.at(0).isFavorite);
    EXPECT_FALSE(all.at(1).isFavorite);
}

TEST_F(CategoriesTest, KindCategoriesComeFromTheConfiguration)
{
    start();
    addAll({makeItem(ClipboardItemType::link, QStringLiteral("https://a.example")),
            makeItem(ClipboardItemType::text, QStringLiteral("words")),
            makeItem(ClipboardItemType::multipleFiles, QStringLiteral("2 files")),
            makeItem(ClipboardItemType::link, QStringLiteral("https://b.example"))});
    EXPECT_EQ(namesIn(QStringLiteral("Link")), (QStringList{QStringLiteral("https://b.example"), QStringLiteral("https://a.example")}));
    EXPECT_EQ(namesIn(QStringLiteral("Multiple Files")), QStringList{QStringLiteral("2 files")});
    EXPECT_TRUE(namesIn(QStringLiteral("Emoji")).isEmpty());

    // A renamed category is found under its new name.
    AppConfiguration document = configuration.configuration();
    for (CategoryGroup &group : document.categoryGroups) {
        for (Category &category : group.categories) {
            if (category.name == QStringLiteral("Link"))
                category.name = QStringLiteral("Web");
        }
    }
    configuration.setConfiguration(document);
    EXPECT_EQ(namesIn(QStringLiteral("Web")).size(), 2);
    EXPECT_EQ(namesIn(QStringLiteral("Link")).size(), 4);
}

TEST_F(CategoriesTest, TodayAndThisWeekFollowTheLocalCalendar)
{
    start();
    addAll({at("2024-05-08T11:59:59", "eight days"), at("2024-05-08T12:00:00", "seven days"),
            at("2024-05-14T23:59:59", "last night"), at("2024-05-15T00:00:00", "midnight")});
    EXPECT_EQ(namesIn(QStringLiteral("Today")), QStringList{QStringLiteral("midnight")});
    EXPECT_EQ(namesIn(QStringLiteral("This Week")),
              (QStringList{QStringLiteral("midnight"), QStringLiteral("last night"), QStringLiteral("seven days")}));
}

TEST_F(CategoriesTest, ThisWeekCountsCalendarDaysAcrossADaylightSavingChange)
{
    // 12 March 2024 in New York: clocks went forward on the 10th, so 7 calendar days back is
    // 167 hours, not 168.
    clock.set(QDateTime(QDate(2024, 3, 12), QTime(12, 0), clock.timeZone()));
    start();
    addAll({at("2024-03-05T11:30:00", "167.5 hours ago"), at("2024-03-05T12:00:00", "167 hours ago"),
            at("2024-03-10T01:59:00", "before the change"), at("2024-03-12T00:00:00", "today")});
    EXPECT_EQ(namesIn(QStringLiteral("This Week")),
              (QStringList{QStringLiteral("today"), QStringLiteral("before the change"), QStringLiteral("167 hours ago")}));

    // On the short day itself "Today" spans 23 hours.
    clock.set(QDateTime(QDate(2024, 3, 10), QTime(23, 30), clock.timeZone()));
    EXPECT_EQ(namesIn(QStringLiteral("Today")), QStringList{QStringLiteral("before the change")});
}

} // namespace
