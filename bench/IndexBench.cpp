// Costs of the vector index: scoring a query, loading and saving the index file.
#include "storage/PrivateFiles.h"
#include "storage/QueryContext.h"
#include "storage/VectorIndex.h"
#include "storage/VectorIndexFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

using namespace snipbrook;

namespace {

// The sentence encoder's vector length.
constexpr size_t dimension = 512;

std::vector<float> unitVector(std::mt19937 &random, const std::vector<float> *near = nullptr)
{
    std::normal_distribution<float> normal;
    std::vector<float> v(dimension);
    for (size_t i = 0; i < dimension; ++i)
        v[i] = normal(random) + (near ? 3.0f * (*near)[i] * std::sqrt(float(dimension)) : 0.0f);
    float norm = 0.0f;
    for (const float x : v)
        norm += x * x;
    for (float &x : v)
        x /= std::sqrt(norm);
    return v;
}

VectorItem entry(std::mt19937 &random, int n, const std::vector<float> *near = nullptr)
{
    VectorItem item;
    item.id = QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0'));
    item.text = QStringLiteral("clipboard text number %1 with a few more words in it").arg(n);
    item.embedding = unitVector(random, near);
    item.metadata = {{"type", n % 3 ? "text" : "code"}, {"timestamp", "2024-05-01T09:30:00Z"}, {"isFavorite", "false"},
                     {"sourceApp", "Editor"}, {"sourceAppBundle", "org.example.editor"}};
    item.timestamp = QDateTime::fromSecsSinceEpoch(1'714'555'800 + n, Qt::UTC);
    return item;
}

std::vector<VectorItem> entries(int count, const std::vector<float> *near = nullptr)
{
    std::mt19937 random(42);
    std::vector<VectorItem> all;
    for (int n = 0; n < count; ++n)
        all.push_back(entry(random, n, near));
    return all;
}

// Scoring over the whole index with a given query vector: unrelated vectors, so few pass the floor.
void BM_ScoreQuery(benchmark::State &state)
{
    VectorIndex index;
    for (const VectorItem &item : entries(int(state.range(0))))
        index.insert(item);
    std::mt19937 random(7);
    const std::vector<float> query = unitVector(random);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.search(query, QueryContext{}, 50));
}
BENCHMARK(BM_ScoreQuery)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The worst case for ranking: every entry is close to the query and passes the floor.
void BM_ScoreQueryAllMatch(benchmark::State &state)
{
    std::mt19937 random(7);
    const std::vector<float> query = unitVector(random);
    VectorIndex index;
    for (const VectorItem &item : entries(int(state.range(0)), &query))
        index.insert(item);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.search(query, QueryContext{}, 50));
}
BENCHMARK(BM_ScoreQueryAllMatch)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// What loading does: read the file, decode it, fill the index.
void BM_LoadIndexFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("clipboard_vector_index.json");
    writeFileAtomically(path, encodeVectorIndex(entries(int(state.range(0)))));
    state.counters["file_MiB"] = double(QFile(path).size()) / (1 << 20);
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const DecodedVectorIndex decoded = decodeVectorIndex(file.readAll());
        VectorIndex index;
        for (const VectorItem &item : decoded.entries)
            index.insert(item);
        benchmark::DoNotOptimize(index.size());
    }
}
BENCHMARK(BM_LoadIndexFile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// What saving does: copy the entries out, encode them, write the file atomically.
void BM_SaveIndexFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("clipboard_vector_index.json");
    VectorIndex index;
    for (const VectorItem &item : entries(int(state.range(0))))
        index.insert(item);
    for (auto _ : state)
        benchmark::DoNotOptimize(writeFileAtomically(path, encodeVectorIndex(index.entries())));
}
BENCHMARK(BM_SaveIndexFile)->Arg(1000)->Unit(benchmark::kMillisecond);

// The parts of saving without the disk: copying out and encoding.
void BM_EncodeIndex(benchmark::State &state)
{
    VectorIndex index;
    for (const VectorItem &item : entries(int(state.range(0))))
        index.insert(item);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeVectorIndex(index.entries()));
}
BENCHMARK(BM_EncodeIndex)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
