// Costs of the history: one capture on the main thread, a sidebar category, and the two search
// paths from the call to the published results (on the real store, index and sentence encoder).
#include "capture/ClipboardManager.h"
#include "capture/ItemCategories.h"
#include "config/ConfigurationManager.h"
#include "search/EmbeddingManager.h"
#include "storage/HybridDataManager.h"

#include "support/FakePasteboard.h"
#include "support/NullHistoryStorage.h"
#include "support/FakePreferences.h"
#include "support/FakeSemanticSearcher.h"
#include "support/FakeWorkspace.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTimeZone>

#include "PseudoWords.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace snipbrook;

namespace {

// Storage that hands out its seed at start-up and keeps nothing after: the capture target
using NullStorage = test::NullHistoryStorage;

// Prose of pseudo-words; each text starts with a serial number.
class Prose {
public:
    QString text(int length)
    {
        QString text = QString::number(m_serial++);
        while (text.size() < length)
            text += QLatin1Char(' ') + m_words.randomWord();
        text.truncate(length);
        text.back() = QLatin1Char('.'); // captured text is trimmed; keep it equal to what is copied
        return text;
    }
    const QString &word(qsizetype index) const { return m_words.word(index); }

private:
    PseudoWords m_words{7};
    qint64 m_serial = 0;
};

ClipboardItem makeItem(Prose &prose, int index, const QDateTime &now)
{
    static const ClipboardItemType types[] = {ClipboardItemType::text, ClipboardItemType::link, ClipboardItemType::code,
                                              ClipboardItemType::text, ClipboardItemType::email};
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.type = types[index % 5];
    item.content = prose.text(100);
    item.preview = item.content;
    item.timestamp = now.addSecs(-index * 600);
    item.metadata = ClipboardMetadata{};
    item.metadata->sourceApp = QStringLiteral("Editor");
    return item;
}

// Sleeps in the event loop between events, so CPU time counts work, not waiting.
template <typename Condition>
void runEventsUntil(Condition condition)
{
    QTimer wake; // bounds each wait, and so the whole loop
    wake.start(100);
    const QDeadlineTimer deadline(60'000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Tick to the item at the top of clipboardItems, with 1,000 items already listed (so the duplicate
// scan and the trim run at full length). The fake clipboard answers on the main thread, so its
// copying is counted too.
void BM_CaptureText100(benchmark::State &state)
{
    test::FakePreferences preferences;
    ConfigurationManager configuration(preferences, QString());
    test::FakePasteboard pasteboard;
    test::FakeWorkspace workspace;
    workspace.front = RunningApplication{QStringLiteral("Editor"), QStringLiteral("org.example.Editor"), 1, true, true};
    NullStorage storage;
    Prose prose;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 1000; ++i)
        storage.seed.append(makeItem(prose, i, now));
    test::FakeSemanticSearcher vectorStore;
    ClipboardManager history(configuration, pasteboard, workspace, storage, vectorStore, SystemClock::instance());
    runEventsUntil([&] { return history.clipboardItems().size() == 1000; });

    for (auto _ : state) {
        state.PauseTiming();
        const QString text = prose.text(100);
        state.ResumeTiming();
        pasteboard.copyText(text);
        runEventsUntil([&] { return history.clipboardItems().first().content == text; });
    }
    if (history.clipboardItems().size() != 1000)
        state.SkipWithError("history did not stay at 1000 items");
}
BENCHMARK(BM_CaptureText100)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_ItemsForCategory1000(benchmark::State &state, const char *name)
{
    Prose prose;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<ClipboardItem> items;
    QSet<QUuid> favorites;
    for (int i = 0; i < 1000; ++i) {
        items.append(makeItem(prose, i, now));
        if (i % 10 == 0)
            favorites.insert(items.last().id);
    }
    const QList<CategoryFilter> typeCategories{{QStringLiteral("Text"), ClipboardItemType::text},
                                               {QStringLiteral("Link"), ClipboardItemType::link}};
    const QString category = QString::fromLatin1(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(itemsForCategory(category, items, favorites, typeCategories, SystemClock::instance()));
}
BENCHMARK_CAPTURE(BM_ItemsForCategory1000, All, "All")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ItemsForCategory1000, Today, "Today")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ItemsForCategory1000, ThisWeek, "This Week")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ItemsForCategory1000, Link, "Link")->Unit(benchmark::kMicrosecond);

// Embeds nothing: keyword search needs no index, and indexing 10,000 items would run beside it.
class NoEmbedder : public Embedder {
public:
    std::optional<std::vector<float>> generateEmbedding(const QString &) const override { return std::nullopt; }
};

// A history over `count` stored items of prose, on a real store and index in a temporary folder.
class Installation {
public:
    Installation(int count, const Embedder &embedder) : vectors(embedder, folder.path())
    {
        Prose prose;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QList<ClipboardItem> items;
        for (int i = 0; i < count; ++i)
            items.append(makeItem(prose, i, now));
        bool inserted = false;
        store.batchInsertItems(items, [&](const BatchInsertResult &) { inserted = true; });
        runEventsUntil([&] { return inserted; });
        storage = std::make_unique<HybridDataManager>(store, vectors, preferences, folder.path(), std::chrono::milliseconds(0));
        runEventsUntil([&] { return storage->isInitialized(); });
        const QFuture<void> indexed = storage->missingEntriesIndexed();
        runEventsUntil([&] { return indexed.isFinished(); });
        history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, *storage, vectors,
                                                     SystemClock::instance());
        runEventsUntil([&] { return history->clipboardItems().size() == qMin(count, 1000); });
    }

    // One search, from the call until its results are published.
    void search(const QString &query, bool useSemantic)
    {
        QSignalSpy published(history.get(), &ClipboardManager::searchResultsChanged);
        history->search(query, useSemantic);
        runEventsUntil([&] { return published.count() > 0; });
    }

    QTemporaryDir folder;
    test::FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    test::FakePasteboard pasteboard;
    test::FakeWorkspace workspace;
    CoreDataManager store{folder.path() + QStringLiteral("/data")};
    VectorStoreManager vectors;
    std::unique_ptr<HybridDataManager> storage;
    std::unique_ptr<ClipboardManager> history;
};

void BM_KeywordSearch10000(benchmark::State &state)
{
    NoEmbedder embedder;
    Installation installation(10'000, embedder);
    const Prose vocabulary; // the same words the items were written with
    qsizetype next = 0;
    for (auto _ : state)
        installation.search(vocabulary.word(next++), false);
    state.counters["hits"] = double(installation.history->searchResults().size());
}
BENCHMARK(BM_KeywordSearch10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_SemanticSearch1000(benchmark::State &state)
{
    Installation installation(1'000, EmbeddingManager::shared());
    const Prose vocabulary;
    qsizetype next = 0;
    for (auto _ : state) {
        // A new query text each time, so the query embedding is always computed.
        installation.search(vocabulary.word(next) + QLatin1Char(' ') + vocabulary.word(next + 7) +
                                QStringLiteral(" from %1 days ago").arg(next % 9 + 1),
                            true);
        ++next;
    }
    state.counters["results"] = double(installation.history->searchResults().size());
}
BENCHMARK(BM_SemanticSearch1000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
