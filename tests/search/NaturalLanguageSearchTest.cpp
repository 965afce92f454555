#include "search/LocalAISearchManager.h"

#include "support/FakeSemanticSearcher.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::FakeSemanticSearcher;
using snipbrook::test::FixedClock;

namespace {

ClipboardItem makeItem(ClipboardItemType type, const QString &content, const QDateTime &timestamp,
                       std::optional<QString> app = std::nullopt)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.type = type;
    item.content = content;
    item.preview = content.left(100);
    item.timestamp = timestamp;
    if (app) {
        item.metadata = ClipboardMetadata{};
        item.metadata->sourceApp = app;
    }
    return item;
}

class NaturalLanguageSearchTest : public ::testing::Test {
protected:
    // Noon on a plain Wednesday in New York.
    FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "America/New_York");
    FakeSemanticSearcher index;
    LocalAISearchManager search{index, clock};

    QDateTime hoursAgo(double hours) const { return clock.now().addSecs(qint64(-hours * 3600)); }
    QDateTime local(const char *iso) const
    {
        QDateTime time = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
        time.setTimeZone(clock.timeZone());
        return time;
    }

    QList<SimilaritySearchResult> run(const QString &query, const QList<ClipboardItem> &items)
    {
        QFuture<QList<SimilaritySearchResult>> future = search.naturalLanguageSearch(query, items);
        future.waitForFinished();
        return future.result();
    }

    // What the query adds to a semantic hit of 0.5 on the item.
    float bonusFor(const QString &query, const ClipboardItem &item)
    {
        index.hits = {{item.id, 0.5f, {}}};
        const auto results = run(query, {item});
        EXPECT_EQ(results.size(), 1);
        return results.isEmpty() ? -1.0f : results.first().similarity - 0.5f;
    }
};

TEST_F(NaturalLanguageSearchTest, BlankQueryNeverReachesTheIndex)
{
    const auto item = makeItem(ClipboardItemType::text, QStringLiteral("   "), hoursAgo(1));
    EXPECT_TRUE(run(QStringLiteral(" \n\t "), {item}).isEmpty());
    EXPECT_EQ(index.calls, 0);
}

TEST_F(NaturalLanguageSearchTest, IndexGetsTheTrimmedQueryAndBonusesAddUpToTheCap)
{
    const auto item = makeItem(ClipboardItemType::text, QStringLiteral("x"), hoursAgo(1), QStringLiteral("Safari"));
    index.hits = {{item.id, 0.9f, {}}};
    const auto results = run(QStringLiteral("  safari today \n"), {item});
    EXPECT_EQ(index.lastQuery, QStringLiteral("safari today"));
    EXPECT_EQ(index.lastLimit, 50);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].similarity, 1.0f);
    EXPECT_EQ(results[0].searchType, SearchType::semantic);
    EXPECT_EQ(results[0].item.id, item.id);
    EXPECT_NE(results[0].id, item.id);

    // Below the cap the sum is kept as it is: 0.3 + 0.2 + 0.15 + 0.05 in float.
    const auto code = makeItem(ClipboardItemType::code, QStringLiteral("x"), hoursAgo(1), QStringLiteral("Safari"));
    index.hits = {{code.id, 0.3f, {}}};
    EXPECT_EQ(run(QStringLiteral("safari code today"), {code})[0].similarity, 0.3f + 0.2f + 0.15f + 0.05f);
}

TEST_F(NaturalLanguageSearchTest, OnlyTheFirstTimePhraseCounts)
{
    const auto yesterday = makeItem(ClipboardItemType::text, QStringLiteral("x"), local("2024-05-14T09:00:00"));
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("yesterday"), yesterday), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("yesterday or today"), yesterday), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("Today"), makeItem(ClipboardItemType::text, QStringLiteral("x"),
                                                               local("2024-05-15T00:00:01"))),
                    0.2f);
    // "today" wins over a days-ago phrase that would match.
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("1 day ago not today"), yesterday), 0.0f);
}

TEST_F(NaturalLanguageSearchTest, LastWeekIsTheSevenDaysBeforeToday)
{
    const auto at = [&](const char *iso) { return makeItem(ClipboardItemType::text, QStringLiteral("x"), local(iso)); };
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-12T12:00:00")), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-15T08:00:00")), 0.0f);  // this morning
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-07T12:00:00")), 0.0f);  // eight days
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-08T12:00:00")), 0.0f);  // exactly seven
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-08T12:00:01")), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("last week"), at("2024-05-14T23:59:59")), 0.2f);
}

TEST_F(NaturalLanguageSearchTest, DaysAgoIsADayEitherSideOfTheSameTime)
{
    const auto ago = [&](double hours) { return makeItem(ClipboardItemType::text, QStringLiteral("x"), hoursAgo(hours)); };
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("2 days ago"), ago(47)), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("2 days ago"), ago(73)), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("2 days ago"), ago(24)), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("from 1 day  ago"), ago(30)), 0.2f);
    // Digits of other scripts match the pattern but are no number; a count beyond 64 bits neither.
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("\u0662 days ago"), ago(47)), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("99999999999999999999 days ago"), ago(1)), 0.0f);
    // A count too far back for the calendar falls back to now.
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("999999999999999 days ago"), ago(1)), 0.2f);
}

TEST_F(NaturalLanguageSearchTest, DayWordsFollowTheCalendarAcrossADaylightSavingChange)
{
    // Clocks in New York went forward at 02:00 on 10 March 2024: that day had 23 hours.
    clock.set(local("2024-03-11T00:30:00"));
    const auto at = [&](const char *iso) { return makeItem(ClipboardItemType::text, QStringLiteral("x"), local(iso)); };
    // 24 hours before now is still 9 March; yesterday is the whole of 10 March.
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("yesterday"), at("2024-03-10T00:10:00")), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("yesterday"), makeItem(ClipboardItemType::text, QStringLiteral("x"),
                                                                   clock.now().addSecs(-24 * 3600))),
                    0.0f);
    // "1 day ago" centres on 10 March 00:30 EST, 23 hours back, not 24.
    const auto hoursBack = [&](int hours) {
        return makeItem(ClipboardItemType::text, QStringLiteral("x"), clock.now().addSecs(-hours * 3600));
    };
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("1 day ago"), hoursBack(46)), 0.2f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("1 day ago"), hoursBack(47)), 0.0f);

    // Seven days back from 17 March 02:30 is a wall time the zone skipped; it moves past the gap.
    clock.set(local("2024-03-17T02:30:00"));
    const auto lastWeek = [&](const char *iso) { return bonusFor(QStringLiteral("last week"), at(iso)); };
    EXPECT_FLOAT_EQ(lastWeek("2024-03-10T03:00:00"), 0.0f);
    EXPECT_FLOAT_EQ(lastWeek("2024-03-10T03:31:00"), 0.2f);
}

TEST_F(NaturalLanguageSearchTest, ApplicationNamesAndAliases)
{
    const auto from = [&](const QString &app) {
        return makeItem(ClipboardItemType::text, QStringLiteral("x"), hoursAgo(100), app);
    };
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("chrome"), from(QStringLiteral("Google Chrome"))), 0.15f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("chrome"), from(QStringLiteral("Chrome"))), 0.15f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("the messages thread"), from(QStringLiteral("iMessage"))), 0.15f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("Slack notes"), from(QStringLiteral("Apple Notes"))), 0.15f);
    // The name contains a short query.
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("e"), from(QStringLiteral("Terminal"))), 0.15f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("safari"), from(QStringLiteral("Firefox"))), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("e"), makeItem(ClipboardItemType::text, QStringLiteral("x"), hoursAgo(100))),
                    0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("e"), from(QString())), 0.0f);
}

TEST_F(NaturalLanguageSearchTest, TypeWordsMatchInsideLongerWords)
{
    const auto of = [&](ClipboardItemType type) { return makeItem(type, QStringLiteral("x"), hoursAgo(100)); };
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("my files"), of(ClipboardItemType::file)), 0.05f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("my files"), of(ClipboardItemType::multipleFiles)), 0.0f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("URL"), of(ClipboardItemType::link)), 0.05f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("texts"), of(ClipboardItemType::text)), 0.05f);
    EXPECT_FLOAT_EQ(bonusFor(QStringLiteral("texts"), of(ClipboardItemType::code)), 0.0f);
}

TEST_F(NaturalLanguageSearchTest, HitsAreFilteredToTheGivenItemsAndRankedStably)
{
    const auto a = makeItem(ClipboardItemType::text, QStringLiteral("a"), hoursAgo(100));
    const auto b = makeItem(ClipboardItemType::code, QStringLiteral("b"), hoursAgo(100));
    const auto c = makeItem(ClipboardItemType::text, QStringLiteral("c"), hoursAgo(100));
    index.hits = {{QUuid::createUuid(), 0.99f, {}}, {a.id, 0.4f, {}}, {c.id, 0.4f + 0.05f, {}}, {b.id, 0.4f, {}}};
    // The code bonus lifts b to 0.45, level with c: the index's order decides.
    const auto results = run(QStringLiteral("code"), {a, b, c});
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].item.id, c.id);
    EXPECT_EQ(results[1].item.id, b.id);
    EXPECT_EQ(results[2].item.id, a.id);
}

TEST_F(NaturalLanguageSearchTest, KeywordFallbackWhenTheIndexFindsNothingUsable)
{
    const auto first = makeItem(ClipboardItemType::text, QStringLiteral("Meeting NOTES"), hoursAgo(1));
    const auto code = makeItem(ClipboardItemType::code, QStringLiteral("notes() in xcode"), hoursAgo(1),
                               QStringLiteral("Xcode"));
    const auto second = makeItem(ClipboardItemType::text, QStringLiteral("more notes"), hoursAgo(1));
    const auto greeting = makeItem(ClipboardItemType::text, QStringLiteral("see you today"), hoursAgo(1));
    // Base64 text that happens to contain the query: an image never matches by its content.
    const auto image = makeItem(ClipboardItemType::image, QStringLiteral("iVBORnotesw0KGgo="), hoursAgo(1));
    const QList<ClipboardItem> items{first, image, code, second, greeting};

    // No hits at all, or hits only for items no longer in the history.
    for (const auto &hits : {QList<VectorSearchResult>{}, QList<VectorSearchResult>{{QUuid::createUuid(), 0.9f, {}}}}) {
        index.hits = hits;
        EXPECT_TRUE(run(QStringLiteral("notes today"), items).isEmpty()) << "the whole query must be contained";
        const auto found = run(QStringLiteral("Notes"), items);
        ASSERT_EQ(found.size(), 3);
        EXPECT_EQ(found[0].item.id, first.id);
        EXPECT_EQ(found[1].item.id, code.id);
        EXPECT_EQ(found[2].item.id, second.id);
        for (const auto &result : found) {
            EXPECT_EQ(result.searchType, SearchType::keyword);
            EXPECT_EQ(result.similarity, 0.6f);
        }
    }

    // Application and type bonuses apply; the time bonus does not.
    index.hits = {};
    const auto ranked = run(QStringLiteral("xcode"), items);
    ASSERT_EQ(ranked.size(), 1);
    EXPECT_EQ(ranked[0].similarity, 0.6f + 0.15f + 0.05f);
    const auto today = run(QStringLiteral("today"), items);
    ASSERT_EQ(today.size(), 1);
    EXPECT_EQ(today[0].similarity, 0.6f);

    // A failed index search is answered by the fallback as well.
    index.cancelAnswers = true;
    EXPECT_EQ(run(QStringLiteral("notes"), items).size(), 3);
}

TEST_F(NaturalLanguageSearchTest, AtMostFiftyResultsOnEitherPath)
{
    QList<ClipboardItem> items;
    QList<VectorSearchResult> hits;
    for (int i = 0; i < 60; ++i) {
        items.append(makeItem(ClipboardItemType::text, QStringLiteral("entry %1").arg(i), hoursAgo(i)));
        hits.append({items.last().id, 0.01f * float(i), {}});
    }
    index.hits = hits;
    const auto semantic = run(QStringLiteral("entry"), items);
    ASSERT_EQ(semantic.size(), 50);
    EXPECT_EQ(semantic.first().item.id, items.last().id);
    index.hits = {};
    const auto keyword = run(QStringLiteral("entry"), items);
    ASSERT_EQ(keyword.size(), 50);
    EXPECT_EQ(keyword.first().item.id, items.first().id);
    EXPECT_EQ(keyword.last().item.id, items.at(49).id);
}

} // namespace
