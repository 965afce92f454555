// Costs of the vector index: scoring a query, loading and saving the index file, and the
// one-time import of a legacy history through the storage facade.
#include "search/EmbeddingManager.h"
#include "storage/HybridDataManager.h"
#include "storage/PrivateFiles.h"
#include "storage/QueryContext.h"
#include "storage/VectorIndex.h"
#include "storage/VectorIndexFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QVariant>

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

// What saving does: stream the entries in key order into a file written atomically.
void BM_SaveIndexFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("clipboard_vector_index.json");
    VectorIndex index;
    for (const VectorItem &item : entries(int(state.range(0))))
        index.insert(item);
    for (auto _ : state)
        benchmark::DoNotOptimize(writeFileAtomically(path, [&](QIODevice &file) { return writeVectorIndex(index, file); }));
}
BENCHMARK(BM_SaveIndexFile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

class MemoryPreferences : public Preferences {
public:
    std::optional<QByteArray> bytes(const QString &) const override { return std::nullopt; }
    void setBytes(const QString &, const QByteArray &) override {}
    bool boolean(const QString &key) const override { return m_flags.value(key); }
    void setBoolean(const QString &key, bool value) override { m_flags.insert(key, value); }
    std::optional<QDateTime> date(const QString &) const override { return std::nullopt; }
    void setDate(const QString &, const QDateTime &) override {}
    bool contains(const QString &key) const override { return m_flags.contains(key); }
    void remove(const QString &key) override { m_flags.remove(key); }
    bool sync() override { return true; }

private:
    QHash<QString, bool> m_flags;
};

// A legacy history of ordinary clipboard texts: sentences, links and code.
QByteArray legacyHistory(int count)
{
    static const QStringList words = QStringLiteral(
        "meeting notes project budget review deadline invoice customer email address phone schedule "
        "release build server database query function parameter result report draft summary design "
        "travel booking hotel flight recipe dinner grocery list password reset account login")
                                         .split(QLatin1Char(' '));
    std::mt19937 random(3);
    QJsonArray items;
    for (int n = 0; n < count; ++n) {
        QString content;
        if (n % 10 == 0) {
            content = QStringLiteral("https://www.example.org/%1/%2-%3?id=%4")
                          .arg(words[random() % words.size()], words[random() % words.size()],
                               words[random() % words.size()])
                          .arg(n);
        } else if (n % 10 == 1) {
            content = QStringLiteral("func %1(%2: Int) -> Int {\n    let total = %2 * 2\n    return total\n}")
                          .arg(words[random() % words.size()], words[random() % words.size()]);
        } else {
            const int length = 8 + int(random() % 40);
            for (int w = 0; w < length; ++w)
                content += words[random() % words.size()] + QLatin1Char(' ');
        }
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.type = n % 10 == 0 ? ClipboardItemType::link : n % 10 == 1 ? ClipboardItemType::code : ClipboardItemType::text;
        item.content = content;
        item.preview = content.left(100);
        item.timestamp = QDateTime::fromSecsSinceEpoch(1'700'000'000 + n, Qt::UTC);
        items.append(item.toJson());
    }
    return QJsonDocument(items).toJson();
}

// The first start after an upgrade: store records, embeddings by the sentence encoder, index file
// and backup of the legacy items. "stored_s" is the time until the facade reports itself
// initialized (the history can list them); the whole time runs until every item is indexed.
void BM_ImportLegacyItems(benchmark::State &state)
{
    const QByteArray history = legacyHistory(int(state.range(0)));
    EmbeddingManager &embedder = EmbeddingManager::shared();
    embedder.generateEmbedding(QStringLiteral("load the model before timing")); // loaded once per process
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir documents, data;
        QFile file(QDir(documents.path()).filePath("clipboard_history.json"));
        file.open(QIODevice::WriteOnly);
        file.write(history);
        file.close();
        MemoryPreferences preferences;
        state.ResumeTiming();

        CoreDataManager store(data.path());
        VectorStoreManager vectors(embedder, documents.path());
        HybridDataManager hybrid(store, vectors, preferences, documents.path(), std::chrono::milliseconds(0));
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QObject::connect(&hybrid, &HybridDataManager::isInitializedChanged, &loop, &QEventLoop::quit);
        loop.exec();
        state.counters["stored_s"] = double(clock.elapsed()) / 1000.0;
        QFutureWatcher<void> indexed;
        QObject::connect(&indexed, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        indexed.setFuture(hybrid.missingEntriesIndexed());
        if (!indexed.isFinished())
            loop.exec();
    }
}
BENCHMARK(BM_ImportLegacyItems)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

} // namespace
