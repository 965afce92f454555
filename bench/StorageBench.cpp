// Costs of the item store: one insert, the start-up load, keyword search and a legacy-import batch.
#include "storage/CoreDataManager.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "PseudoWords.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>

using namespace snipbrook;

namespace {

// Prose of pseudo-words.
class ProseGenerator {
public:
    QString text(int length)
    {
        QString text;
        while (text.size() < length)
            text += m_words.randomWord() + QLatin1Char(' ');
        return text.left(length);
    }
    const QString &word(int index) const { return m_words.word(index); }

private:
    PseudoWords m_words{42};
};

ClipboardItem textItem(ProseGenerator &prose, int index)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.content = prose.text(200);
    item.preview = item.content.left(100);
    item.timestamp = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + index * 1000LL, Qt::UTC);
    ClipboardMetadata metadata;
    metadata.sourceApp = QStringLiteral("Editor");
    metadata.sourceAppBundle = QStringLiteral("org.example.editor");
    metadata.sourceProcessID = 4242;
    item.metadata = metadata;
    return item;
}

QList<ClipboardItem> textItems(int count)
{
    ProseGenerator prose;
    QList<ClipboardItem> items;
    for (int i = 0; i < count; ++i)
        items.append(textItem(prose, i));
    return items;
}

void waitForBatch(CoreDataManager &store, const QList<ClipboardItem> &items)
{
    bool done = false;
    store.batchInsertItems(items, [&](const BatchInsertResult &) { done = true; });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A store of 10,000 text items of 200 characters, built once and shared by the read benchmarks.
CoreDataManager &tenThousandItemStore()
{
    static QTemporaryDir folder;
    static CoreDataManager store(folder.path());
    static const bool filled = [] {
        waitForBatch(store, textItems(10'000));
        return true;
    }();
    Q_UNUSED(filled);
    return store;
}

void BM_CreateItem(benchmark::State &state)
{
    QTemporaryDir folder;
    CoreDataManager store(folder.path());
    ProseGenerator prose;
    store.fetchRecentItems(1); // opens the store outside the timing
    std::vector<double> micros;
    int index = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const ClipboardItem item = textItem(prose, index++);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(store.createItem(item));
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_CreateItem)->Unit(benchmark::kMicrosecond)->Iterations(5000);

void BM_FetchRecent1000AsItemsOf10000(benchmark::State &state)
{
    CoreDataManager &store = tenThousandItemStore();
    for (auto _ : state) {
        QList<ClipboardItem> items;
        for (const auto &record : store.fetchRecentItems(1000))
            items.append(CoreDataManager::makeClipboardItem(record));
        benchmark::DoNotOptimize(items);
    }
}
BENCHMARK(BM_FetchRecent1000AsItemsOf10000)->Unit(benchmark::kMillisecond);

// The start-up read: every record of a 10,000-item history, on the store's background connection.
void BM_FetchHistory10000(benchmark::State &state)
{
    CoreDataManager &store = tenThousandItemStore();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.fetchHistoryItems(10'000));
}
BENCHMARK(BM_FetchHistory10000)->Unit(benchmark::kMillisecond);

// Arguments: 0 = a vocabulary word (about 1 item in 70), 1 = a word in no item, 2 = a letter pair
// found in most items.
void BM_SearchItemsOf10000(benchmark::State &state)
{
    CoreDataManager &store = tenThousandItemStore();
    const QString queries[] = {ProseGenerator().word(7).toUpper(), QStringLiteral("zzzzqx"), QStringLiteral("ea")};
    const QString query = queries[state.range(0)];
    qsizetype hits = 0;
    for (auto _ : state) {
        const auto records = store.searchItems(query);
        hits = records.size();
        benchmark::DoNotOptimize(records);
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_SearchItemsOf10000)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_BatchInsert10000(benchmark::State &state)
{
    const QList<ClipboardItem> items = textItems(10'000);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        auto store = std::make_unique<CoreDataManager>(folder.path());
        store->fetchRecentItems(1);
        state.ResumeTiming();
        waitForBatch(*store, items);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BatchInsert10000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The store logs a line per operation; keep them out of the report.
    std::ofstream report("/proc/self/fd/" + std::to_string(dup(STDOUT_FILENO)));
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&report);
    reporter.SetErrorStream(&report);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
