#include "search/LocalAISearchManager.h"

#include "support/FakeSemanticSearcher.h"
#include "support/FixedClock.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::FakeSemanticSearcher;
using snipbrook::test::FixedClock;
using Type = ClipboardItemType;

namespace {

class NaturalLanguageSearchTest : public ::testing::Test {
protected:
    FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "America/New_York"); // a plain Wednesday
    FakeSemanticSearcher index;
    LocalAISearchManager search{index, clock};

    static ClipboardItem item(Type type, const QString &content, const QDateTime &time, std::optional<QString> app = {})
    {
        ClipboardItem item{QUuid::createUuid(), type, content, content, time, ClipboardMetadata{}, false, {}};
        item.metadata->sourceApp = std::move(app);
        return item;
    }
    ClipboardItem at(const char *localIso) const
    {
        QDateTime time = QDateTime::fromString(QString::fromLatin1(localIso), Qt::ISODate);
        time.setTimeZone(clock.timeZone());
        return item(Type::text, "x", time);
    }
    ClipboardItem hoursAgo(int hours) const { return item(Type::text, "x", clock.now().addSecs(-hours * 3600)); }
    ClipboardItem from(const char *app) const { return item(Type::text, "x", clock.now().addDays(-30), QString::fromLatin1(app)); }
    ClipboardItem of(Type type) const { return item(type, "x", clock.now().addDays(-30)); }
    QList<SimilaritySearchResult> run(const QString &query, const QList<ClipboardItem> &items)
    {
        auto future = search.naturalLanguageSearch(query, items);
        future.waitForFinished();
        return future.result();
    }
    // What the query adds to a semantic hit of 0.5.
    float bonus(const char *query, const ClipboardItem &hit)
    {
        index.hits = {{hit.id, 0.5f, {}}};
        const auto results = run(QString::fromUtf8(query), {hit});
        return results.size() == 1 ? results[0].similarity - 0.5f : -1.0f;
    }
};

TEST_F(NaturalLanguageSearchTest, EachHintAddsItsBonus)
{
    const std::vector<std::tuple<const char *, ClipboardItem, float>> cases{
        {"today", at("2024-05-15T00:00:00"), 0.2f},
        {"yesterday", at("2024-05-14T09:00:00"), 0.2f},
        {"yesterday or today", at("2024-05-14T09:00:00"), 0.0f}, // only the first phrase counts
        {"last week", at("2024-05-12T12:00:00"), 0.2f},
        {"last week", at("2024-05-15T08:00:00"), 0.0f}, // this morning
        {"last week", at("2024-05-08T12:00:00"), 0.0f}, // exactly 7 days
        {"last week", at("2024-05-08T12:00:01"), 0.2f},
        {"2 days ago", hoursAgo(47), 0.2f},
        {"2 days ago", hoursAgo(73), 0.0f},
        {"2 days ago", hoursAgo(24), 0.0f}, // exactly a day from the reference
        {"\u0662 days ago", hoursAgo(47), 0.0f}, // digits of another script are no number
        {"99999999999999999999 days ago", hoursAgo(0), 0.0f}, // beyond 64 bits
        {"999999999999999 days ago", hoursAgo(0), 0.2f}, // no such date: now
        {"chrome", from("Google Chrome"), 0.15f},
        {"the messages thread", from("iMessage"), 0.15f},
        {"e", from("Terminal"), 0.15f}, // the name contains the query
        {"safari", from("Firefox"), 0.0f},
        {"my files", of(Type::file), 0.05f},
        {"my files", of(Type::multipleFiles), 0.0f},
        {"URL", of(Type::link), 0.05f},
    };
    for (const auto &[query, hit, expected] : cases)
        EXPECT_FLOAT_EQ(bonus(query, hit), expected) << query;
}

TEST_F(NaturalLanguageSearchTest, DayWordsCountCalendarDaysAcrossADaylightSavingChange)
{
    // New York moved its clocks forward at 02:00 on 10 March 2024: that day had 23 hours.
    clock.set(at("2024-03-11T00:30:00").timestamp);
    EXPECT_FLOAT_EQ(bonus("yesterday", at("2024-03-10T00:10:00")), 0.2f);
    EXPECT_FLOAT_EQ(bonus("yesterday", hoursAgo(24)), 0.0f); // still 9 March
    EXPECT_FLOAT_EQ(bonus("1 day ago", hoursAgo(46)), 0.2f); // the reference is 23 hours back
    EXPECT_FLOAT_EQ(bonus("1 day ago", hoursAgo(47)), 0.0f);
    clock.set(at("2024-03-17T02:30:00").timestamp); // a week back is a skipped wall time: past the gap
    EXPECT_FLOAT_EQ(bonus("last week", at("2024-03-10T03:00:00")), 0.0f);
    EXPECT_FLOAT_EQ(bonus("last week", at("2024-03-10T03:31:00")), 0.2f);
}

TEST_F(NaturalLanguageSearchTest, HitsAreCappedFilteredAndRankedStably)
{
    EXPECT_TRUE(run(" \n\t ", {}).isEmpty());
    EXPECT_EQ(index.calls, 0) << "a blank query never reaches the index";
    const auto a = item(Type::text, "a", clock.now(), "Safari");
    const auto b = of(Type::code), c = of(Type::text);
    index.hits = {{QUuid::createUuid(), 0.99f, {}}, {c.id, 0.4f + 0.05f, {}}, {b.id, 0.4f, {}}, {a.id, 0.9f, {}}};
    const auto results = run("  safari code today \n", {a, b, c});
    EXPECT_EQ(index.lastQuery, QStringLiteral("safari code today"));
    EXPECT_EQ(index.lastLimit, 50);
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].similarity, 1.0f); // 0.9 + 0.2 + 0.15
    EXPECT_EQ(results[1].item.id, c.id);     // level with b (0.4 + code): the index's order decides
    EXPECT_EQ(results[2].item.id, b.id);
    EXPECT_EQ(results[0].searchType, SearchType::semantic);
}

TEST_F(NaturalLanguageSearchTest, KeywordFallbackSkipsImagesAndTheTimeBonus)
{
    const QDateTime now = clock.now();
    const auto first = item(Type::text, "Meeting NOTES", now), second = item(Type::text, "more notes today", now);
    const auto code = item(Type::code, "notes() in xcode", now, "Xcode");
    const auto image = item(Type::image, "iVBORnotesw0KGgo=", now); // Base64 that happens to match
    const QList<ClipboardItem> items{first, image, code, second};
    // No hits, hits only for items no longer listed, or a failed index: all fall back.
    for (int round = 0; round < 3; ++round) {
        index.hits = round == 1 ? QList<VectorSearchResult>{{QUuid::createUuid(), 0.9f, {}}} : QList<VectorSearchResult>{};
        index.failAnswers = round == 2;
        const auto found = run("Notes", items);
        ASSERT_EQ(found.size(), 3);
        EXPECT_TRUE(found[0].item.id == first.id && found[1].item.id == code.id && found[2].item.id == second.id);
        EXPECT_EQ(found[2].similarity, 0.6f);
        EXPECT_EQ(found[2].searchType, SearchType::keyword);
    }
    EXPECT_EQ(run("xcode", items).value(0).similarity, 0.6f + 0.15f + 0.05f);
    EXPECT_EQ(run("notes today", items).value(0).similarity, 0.6f);

    QList<ClipboardItem> many; // at most fifty on either path
    for (int i = 0; i < 60; ++i) {
        many.append(item(Type::text, QStringLiteral("entry %1").arg(i), now));
        index.hits.append({many.last().id, 0.01f * float(i), {}});
    }
    index.failAnswers = false;
    EXPECT_EQ(run("entry", many).value(0).item.id, many.last().id);
    EXPECT_EQ(run("entry", many).size(), 50);
    index.hits = {};
    EXPECT_EQ(run("entry", many).value(49).item.id, many.at(49).id);
}

} // namespace
