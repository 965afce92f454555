#include "storage/EmbeddingBlocks.h"
#include "storage/VectorIndex.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace snipbrook;

namespace {

float inOrderSum(std::span<const float> a, std::span<const float> b)
{
    float sum = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

std::vector<float> randomVector(QRandomGenerator &random, size_t dimension)
{
    std::vector<float> v(dimension);
    for (float &x : v)
        x = static_cast<float>(random.generateDouble() * 2.0 - 1.0);
    return v;
}

QString idText(int n) { return QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')); }

VectorItem entry(int n, std::vector<float> embedding, QMap<QString, QString> metadata = {},
                 QDateTime time = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC))
{
    return VectorItem{idText(n), QStringLiteral("text %1").arg(n), std::move(embedding), std::move(metadata), time};
}

QStringList resultIds(const QList<VectorSearchResult> &results)
{
    QStringList out;
    for (const VectorSearchResult &r : results)
        out.append(r.id.toString(QUuid::WithoutBraces).toUpper());
    return out;
}

QueryContext noContext() { return {}; }

} // namespace

TEST(EmbeddingBlocks, ScoresFollowTheStoredVectorsThroughInsertsErasesAndReuse)
{
    QRandomGenerator random(11);
    const size_t dimension = 37;
    EmbeddingBlocks blocks(dimension);
    std::vector<std::optional<std::vector<float>>> stored;
    for (int i = 0; i < 50; ++i)
        blocks.insert(*stored.emplace_back(randomVector(random, dimension)));
    for (uint32_t slot : {3u, 17u, 49u}) {
        blocks.erase(slot);
        stored[slot].reset();
    }
    stored[0] = randomVector(random, dimension);
    blocks.assign(0, *stored[0]);

    const auto query = randomVector(random, dimension);
    std::vector<float> scores(blocks.slotCount());
    blocks.scoreAll(query, scores.data());
    for (size_t s = 0; s < stored.size(); ++s) {
        if (!stored[s]) {
            EXPECT_EQ(scores[s], 0.0f) << s;
            continue;
        }
        // Each component is kept within half a step of the largest one / 127.
        const std::vector<float> kept = blocks.vector(uint32_t(s));
        float largest = 0;
        for (float x : *stored[s])
            largest = std::max(largest, std::fabs(x));
        for (size_t i = 0; i < dimension; ++i)
            ASSERT_NEAR(kept[i], (*stored[s])[i], largest / 254 * 1.001f) << s << " " << i;
        // Both sides are rounded to half a step: the score moves by at most that many products.
        float queryLargest = 0, bound = 0;
        for (float x : query)
            queryLargest = std::max(queryLargest, std::fabs(x));
        for (size_t i = 0; i < dimension; ++i)
            bound += std::fabs(query[i]) * largest / 254 + std::fabs((*stored[s])[i]) * queryLargest / 254
                     + largest * queryLargest / 254 / 254;
        EXPECT_NEAR(scores[s], inOrderSum(query, *stored[s]), bound * 1.01f) << s;
    }
}

TEST(EmbeddingBlocks, UnitVectorsScoreAsTheirCosineToWithinAThousandth)
{
    QRandomGenerator random(5);
    const size_t dimension = 512;
    const auto unit = [&] {
        std::vector<float> v = randomVector(random, dimension);
        float norm = std::sqrt(inOrderSum(v, v));
        for (float &x : v)
            x /= norm;
        return v;
    };
    EmbeddingBlocks blocks(dimension);
    std::vector<std::vector<float>> vectors;
    for (int i = 0; i < 40; ++i)
        blocks.insert(vectors.emplace_back(unit()));
    const std::vector<float> query = unit();
    std::vector<float> scores(blocks.slotCount());
    blocks.scoreAll(query, scores.data());
    for (size_t s = 0; s < vectors.size(); ++s)
        EXPECT_NEAR(scores[s], inOrderSum(query, vectors[s]), 1e-3f) << s;

    // A vector scores 1 against itself, and a zero vector or query scores 0.
    blocks.scoreAll(vectors[7], scores.data());
    EXPECT_NEAR(scores[7], 1.0f, 1e-3f);
    blocks.assign(8, std::vector<float>(dimension, 0.0f));
    blocks.scoreAll(query, scores.data());
    EXPECT_EQ(scores[8], 0.0f);
    blocks.scoreAll(std::vector<float>(dimension, 0.0f), scores.data());
    EXPECT_EQ(scores[0], 0.0f);
}

TEST(VectorIndex, SearchKeepsScoresAboveTheFloorBestFirstWithinTheLimit)
{
    VectorIndex index;
    index.insert(entry(1, {0.099f, 0.9f}));    // below 0.1: dropped
    index.insert(entry(2, {0.102f, 0.0f}));    // kept
    index.insert(entry(3, {0.8f, 0.0f}));
    index.insert(entry(4, {0.5f, 0.0f}));
    index.insert(entry(5, {0.5f, 0.0f}));      // ties keep storage order
    index.insert(entry(6, {-0.9f, 0.0f}));
    index.insert(entry(7, {0.95f, 0.0f, 0.0f})); // another length: never scored
    index.insert(entry(8, {}));                  // no vector: never scored
    index.insert(VectorItem{"not-an-id", "x", {0.9f, 0.0f}, {}, QDateTime::currentDateTimeUtc()});

    const std::vector<float> query{1.0f, 0.0f};
    const auto results = index.search(query, noContext(), 50);
    EXPECT_EQ(resultIds(results), QStringList({idText(3), idText(4), idText(5), idText(2)}));
    EXPECT_NEAR(results[0].score, 0.8f, 1e-6f);
    EXPECT_NEAR(results[3].score, 0.102f, 1e-6f);

    // The key that is no id takes its place in the limit and is then dropped.
    EXPECT_EQ(resultIds(index.search(query, noContext(), 2)), QStringList({idText(3)}));
    EXPECT_TRUE(index.search(query, noContext(), 0).isEmpty());
    EXPECT_TRUE(index.search(std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}, noContext(), 10).isEmpty());
}

TEST(VectorIndex, ReplacingAndRemovingEntriesKeepsVectorsConsistent)
{
    VectorIndex index;
    index.insert(entry(1, {0.6f, 0.8f}));
    index.insert(entry(2, {0.8f, 0.6f}));
    // Replacing with a vector of another length moves the entry out of the two-component group.
    index.insert(entry(1, {1.0f, 0.0f, 0.0f}, {{"type", "link"}}));
    EXPECT_EQ(index.size(), 2);
    EXPECT_EQ(index.entry(idText(1))->metadata.value("type"), "link");
    EXPECT_EQ(resultIds(index.search(std::vector<float>{1.0f, 0.0f}, noContext(), 10)), QStringList({idText(2)}));

    EXPECT_TRUE(index.remove(idText(2)));
    EXPECT_FALSE(index.remove(idText(2)));
    index.insert(entry(3, {0.0f, 1.0f})); // reuses the freed slot
    EXPECT_EQ(resultIds(index.search(std::vector<float>{0.0f, 1.0f}, noContext(), 10)), QStringList({idText(3)}));
    EXPECT_EQ(index.entries().size(), 2u);
}

TEST(VectorIndex, EntriesComeBackAsTheyWentInHoweverCompactlyTheyAreHeld)
{
    // Held as UTF-8 with shared metadata, an entry must still be written back unchanged: texts
    // UTF-8 cannot carry, capture times in another form than the index's own, long values.
    const QDateTime time = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    const QString loneSurrogate = QStringLiteral("broken ") + QChar(0xD800) + QStringLiteral(" pair");
    const QList<VectorItem> items{
        {idText(1), QStringLiteral("café ✓ 🎉"), {0.6f, 0.8f},
         {{"type", "text"}, {"timestamp", "2023-11-14T22:13:20Z"}, {"isFavorite", "false"}}, time},
        {idText(2), loneSurrogate, {0.8f, 0.6f},
         {{"type", "text"}, {"timestamp", "2023-11-14T22:13:20.000Z"}, {"isFavorite", "false"}}, time},
        {idText(3), QString(), {}, {{"timestamp", "2023-11-14T22:13:20Z"}}, QDateTime()},
        {idText(4), QStringLiteral("link"), {1.0f, 0.0f},
         {{"type", "link"}, {"url", "https://example.org/a/rather/long/address?with=query"}, {"isFavorite", "true"},
          {"timestamp", "2023-11-14T22:13:20Z"}}, time},
        {idText(5), QStringLiteral("no metadata"), {0.0f, 1.0f}, {}, time},
    };
    VectorIndex index;
    for (const VectorItem &item : items)
        index.insert(item);
    for (const VectorItem &item : items) {
        const std::optional<VectorItem> back = index.entry(item.id);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->text, item.text) << item.id.toStdString();
        EXPECT_EQ(back->metadata, item.metadata) << item.id.toStdString();
        EXPECT_EQ(back->timestamp, item.timestamp);
    }
    // Searches narrowed by kind read the kind from the compact form.
    QueryContext links;
    links.types = {QStringLiteral("link")};
    EXPECT_EQ(resultIds(index.search(std::vector<float>{1.0f, 0.0f}, links, 10)), QStringList({idText(4)}));
    EXPECT_EQ(index.search(std::vector<float>{1.0f, 0.0f}, links, 10).value(0).metadata, items[3].metadata);
}
