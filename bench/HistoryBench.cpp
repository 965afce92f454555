// Costs of the history: one capture on the main thread, a sidebar category, and the two search
// paths from the call to the published results.
#include "capture/ClipboardManager.h"
#include "capture/ItemCategories.h"
#include "config/ConfigurationManager.h"
#include "storage/HistoryStorage.h"

#include "support/FakePasteboard.h"
#include "support/FakePreferences.h"
#include "support/FakeSemanticSearcher.h"
#include "support/FakeWorkspace.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <random>

using namespace snipbrook;

namespace {

// Storage that hands out its seed at start-up and keeps nothing after: the capture target
// excludes storage, which runs elsewhere.
class NullStorage : public HistoryStorage {
public:
    QList<ClipboardItem> seed;
    bool isInitialized() const override { return true; }
    QList<ClipboardItem> loadItems(std::optional<int>) override { return seed; }
    QList<ClipboardItem> searchItems(const QString &) override { return {}; }
    QList<ClipboardItem> loadFavoriteItems() override { return {}; }
    QFuture<void> saveItem(const ClipboardItem &) override { return QtFuture::makeReadyFuture(); }
    QFuture<void> updateItem(const ClipboardItem &) override { return QtFuture::makeReadyFuture(); }
    QFuture<void> deleteItem(const QUuid &) override { return QtFuture::makeReadyFuture(); }
    QFuture<void> resetAllData() override { return QtFuture::makeReadyFuture(); }
};

class Prose {
public:
    QString text(int length)
    {
        static const QString words = QStringLiteral("the quick brown fox jumps over a lazy dog while seven wizards pack ");
        std::uniform_int_distribution<qsizetype> start(0, words.size() - 1);
        QString text = QString::number(m_serial++) + QLatin1Char(' ');
        while (text.size() < length)
            text += words.mid(start(m_random));
        text.truncate(length);
        // Captured text is trimmed; keep it equal to what is copied.
        text.back() = QLatin1Char('.');
        return text;
    }

private:
    std::mt19937 m_random{7};
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

template <typename Condition>
void runEventsUntil(Condition condition)
{
    const QDeadlineTimer deadline(10'000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
BENCHMARK(BM_CaptureText100)->Unit(benchmark::kMicrosecond);

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
