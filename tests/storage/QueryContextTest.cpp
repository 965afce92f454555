#include "storage/QueryContext.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::FixedClock;

namespace {

QDateTime local(const char *iso, const char *zone)
{
    QDateTime time = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    time.setTimeZone(QTimeZone(zone));
    return time;
}

QDateTime utc(const char *iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC(); }

QSet<QString> types(std::initializer_list<const char *> names)
{
    QSet<QString> set;
    for (const char *name : names)
        set.insert(QString::fromLatin1(name));
    return set;
}

} // namespace

TEST(QueryContext, TypeWordsAreSubstringsOfTheLowerCasedQuery)
{
    const FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "Europe/Berlin");
    EXPECT_EQ(QueryContext::fromQuery("that CODE snippet", clock).types, types({"code"}));
    EXPECT_EQ(QueryContext::fromQuery("the url or link", clock).types, types({"link"}));
    EXPECT_EQ(QueryContext::fromQuery("some files", clock).types, types({"file"}));
    EXPECT_EQ(QueryContext::fromQuery("context", clock).types, types({"text"}));
    EXPECT_EQ(QueryContext::fromQuery("image or email", clock).types, types({"image", "email"}));
    EXPECT_TRUE(QueryContext::fromQuery("an e-mail about photos", clock).types.isEmpty());
    EXPECT_FALSE(QueryContext::fromQuery("recipe for soup", clock).narrows());
}

TEST(QueryContext, TimeWordsSetCutoffsInTheClocksZone)
{
    const char *zone = "Europe/Berlin";
    const FixedClock clock = FixedClock::at("2024-05-15T00:30:00", zone); // still the 14th in UTC
    const auto cutoff = [&](const char *query) { return QueryContext::fromQuery(query, clock).cutoff; };

    EXPECT_EQ(cutoff("copied today"), local("2024-05-15T00:00:00", zone));
    // "yesterday" starts at the previous day's start and has no upper bound.
    EXPECT_EQ(cutoff("code from yesterday"), local("2024-05-14T00:00:00", zone));
    EXPECT_EQ(cutoff("link last week"), local("2024-05-08T00:30:00", zone));
    EXPECT_EQ(cutoff("3 days ago"), local("2024-05-12T00:30:00", zone));
    EXPECT_EQ(cutoff("1 day   ago"), local("2024-05-14T00:30:00", zone));
    EXPECT_EQ(cutoff("0 days ago"), clock.now());
    // The first rule that applies wins.
    EXPECT_EQ(cutoff("today, not last week"), local("2024-05-15T00:00:00", zone));
    EXPECT_EQ(cutoff("yesterday or 3 days ago"), local("2024-05-14T00:00:00", zone));
    EXPECT_EQ(cutoff("2 days ago, or 5 days ago"), local("2024-05-13T00:30:00", zone));

    // Substrings count: "last weekend" holds "last week".
    EXPECT_EQ(cutoff("last weekend"), local("2024-05-08T00:30:00", zone));
    // Arabic-Indic digits match the pattern but are no integer.
    for (const char *none : {"3days ago", "three days ago", "3 days", "days ago", "99999999999999999999 days ago",
                             "\u0663 days ago"})
        EXPECT_FALSE(cutoff(none)) << none;
}

TEST(QueryContext, CalendarDaysHoldTheWallClockAcrossDaylightSavingChanges)
{
    const char *berlin = "Europe/Berlin";
    // Clocks went from 02:00 to 03:00 on 2024-03-31: that day had 23 hours.
    const FixedClock dayOfChange = FixedClock::at("2024-03-31T12:00:00", berlin);
    EXPECT_EQ(QueryContext::fromQuery("today", dayOfChange).cutoff, utc("2024-03-30T23:00:00Z"));
    EXPECT_EQ(QueryContext::fromQuery("yesterday", dayOfChange).cutoff, utc("2024-03-29T23:00:00Z"));

    const FixedClock afterChange = FixedClock::at("2024-04-03T12:00:00", berlin);
    // Seven calendar days back is 12:00 in winter time, 167 hours earlier.
    EXPECT_EQ(QueryContext::fromQuery("last week", afterChange).cutoff, utc("2024-03-27T11:00:00Z"));
    EXPECT_EQ(QueryContext::fromQuery("yesterday", FixedClock::at("2024-04-01T09:00:00", berlin)).cutoff,
              utc("2024-03-30T23:00:00Z"));

    // 02:30 did not exist on the 31st: it moves forward by the skipped hour.
    EXPECT_EQ(QueryContext::fromQuery("1 day ago", FixedClock::at("2024-04-01T02:30:00", berlin)).cutoff,
              local("2024-03-31T03:30:00", berlin));
    // 02:30 happened twice on 2024-10-27: the first time (summer time) counts.
    EXPECT_EQ(QueryContext::fromQuery("1 day ago", FixedClock::at("2024-10-28T02:30:00", berlin)).cutoff,
              utc("2024-10-27T00:30:00Z"));

    // Where the change skips midnight, the day starts at 01:00.
    EXPECT_EQ(QueryContext::fromQuery("today", FixedClock::at("2018-11-04T12:00:00", "America/Sao_Paulo")).cutoff,
              utc("2018-11-04T03:00:00Z"));
}

TEST(QueryContext, AdmitsByCutoffAndByTypeWhenTheEntryHasOne)
{
    const FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "UTC");
    const QueryContext context = QueryContext::fromQuery("code from today", clock);
    const qint64 dayStart = utc("2024-05-15T00:00:00Z").toMSecsSinceEpoch();
    const QMap<QString, QString> code{{"type", "code"}}, text{{"type", "text"}}, untyped;

    EXPECT_TRUE(context.admits(code, dayStart));
    EXPECT_FALSE(context.admits(code, dayStart - 1));
    EXPECT_FALSE(context.admits(text, dayStart + 1000));
    EXPECT_TRUE(context.admits(untyped, dayStart + 1000));
    // No upper bound: entries from the future pass.
    EXPECT_TRUE(context.admits(code, dayStart + 86'400'000LL * 400));
}
