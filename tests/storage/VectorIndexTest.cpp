#include "storage/EmbeddingBlocks.h"
#include "storage/VectorIndex.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

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

TEST(EmbeddingBlocks, ScoresAreTheInOrderFloatSumsThroughInsertsErasesAndReuse)
{
    QRandomGenerator random(11);
    const size_t dimension = 37;
    EmbeddingBlocks blocks(dimension);
    std::vector<std::optional<std::vector<float>>> stored;
    for (int i = 0; i < 50; ++i) {
        auto v = randomVector(random, dimension);
        EXPECT_EQ(blocks.insert(v), static_cast<uint32_t>(i));
        stored.push_back(v);
    }
    for (uint32_t slot : {3u, 17u, 49u}) {
        blocks.erase(slot);
        stored[slot].reset();
    }
    const auto reused = randomVector(random, dimension);
    const uint32_t slot = blocks.insert(reused);
    EXPECT_TRUE(slot == 3 || slot == 17 || slot == 49);
    stored[slot] = reused;
    stored[0] = randomVector(random, dimension);
    blocks.assign(0, *stored[0]);
    EXPECT_EQ(blocks.size(), 48u);
    EXPECT_EQ(blocks.vector(0), *stored[0]);

    const auto query = randomVector(random, dimension);
    std::vector<float> scores(blocks.slotCount());
    blocks.scoreAll(query, scores.data());
    for (size_t s = 0; s < stored.size(); ++s)
        EXPECT_EQ(scores[s], stored[s] ? inOrderSum(query, *stored[s]) : 0.0f) << s;

    // The order of the sum is visible: 1e8 + 1 - 1e8 + 1 is 1 in floats taken in order (not 2, not 0).
    EmbeddingBlocks ordered(4);
    ordered.insert(std::vector<float>{1e8f, 1.0f, -1e8f, 1.0f});
    std::vector<float> score(ordered.slotCount());
    ordered.scoreAll(std::vector<float>{1, 1, 1, 1}, score.data());
    EXPECT_EQ(score[0], 1.0f);
}

TEST(VectorIndex, SearchKeepsScoresAboveTheFloorBestFirstWithinTheLimit)
{
    VectorIndex index;
    const float justAbove = std::nextafter(0.1f, 1.0f);
    index.insert(entry(1, {0.1f, 0.9f}));      // exactly 0.1: dropped
    index.insert(entry(2, {justAbove, 0.0f})); // kept
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
    EXPECT_EQ(results[0].score, 0.8f);
    EXPECT_EQ(results[3].score, justAbove);

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
    EXPECT_EQ(index.entry(idText(1))->embedding, (std::vector<float>{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(index.entry(idText(1))->metadata.value("type"), "link");
    EXPECT_EQ(resultIds(index.search(std::vector<float>{1.0f, 0.0f}, noContext(), 10)), QStringList({idText(2)}));

    EXPECT_TRUE(index.remove(idText(2)));
    EXPECT_FALSE(index.remove(idText(2)));
    EXPECT_TRUE(index.search(std::vector<float>{1.0f, 0.0f}, noContext(), 10).isEmpty());
    index.insert(entry(3, {0.0f, 1.0f}));
    EXPECT_EQ(resultIds(index.search(std::vector<float>{0.0f, 1.0f}, noContext(), 10)), QStringList({idText(3)}));

    EXPECT_EQ(index.entries().size(), 2u);
}
