// Sentence-encoder costs: loading, one short text, one text of 128 tokens, short texts batched,
// and the whole embedding path for a clipboard text. One thread.
#include "search/EmbeddingManager.h"
#include "search/ModelLocator.h"
#include "search/SentenceEncoder.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace snipbrook;

namespace {

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

// Loaded once, in the first benchmark, so that its memory growth is measured in a fresh process.
std::shared_ptr<const SentenceEncoder> encoder;
double loadGrowthMegabytes = 0;
QString modelDirectory;

bool ensureEncoder(benchmark::State &state)
{
    if (!encoder) {
        const double before = residentMegabytes();
        for (const QString &directory : modelDirectoryCandidates()) {
            QString error;
            if ((encoder = SentenceEncoder::load(directory, &error))) {
                modelDirectory = directory;
                break;
            }
        }
        loadGrowthMegabytes = residentMegabytes() - before;
    }
    if (!encoder)
        state.SkipWithError("sentence-encoder weights not found (scripts/fetch-model.sh)");
    return encoder != nullptr;
}

QString textOfTokens(int tokens)
{
    static const QStringList words = QStringLiteral(
        "please send the signed contract to the legal team before friday so we can close the quarter on time and "
        "keep the budget review on track for the board meeting next week")
                                         .split(u' ');
    QString text;
    for (qsizetype i = 0; encoder->tokenize(text).size() < static_cast<std::size_t>(tokens); ++i)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + words.at(i % words.size());
    return text;
}

void BM_LoadEncoder(benchmark::State &state)
{
    if (!ensureEncoder(state))
        return;
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(SentenceEncoder::load(modelDirectory, &error));
    }
    state.counters["model_MB"] = static_cast<double>(encoder->memoryBytes()) / (1 << 20);
    state.counters["rss_growth_MB"] = loadGrowthMegabytes;
}
BENCHMARK(BM_LoadEncoder)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_EncodeTokens(benchmark::State &state)
{
    if (!ensureEncoder(state))
        return;
    const QString text = textOfTokens(static_cast<int>(state.range(0)));
    state.counters["tokens"] = static_cast<double>(std::min<std::size_t>(encoder->tokenize(text).size(), SentenceEncoder::maxTokens));
    for (auto _ : state)
        benchmark::DoNotOptimize(encoder->vector(text));
}
BENCHMARK(BM_EncodeTokens)->Arg(7)->Arg(128)->Unit(benchmark::kMillisecond);

void BM_EncodeBatchedShortTexts(benchmark::State &state)
{
    if (!ensureEncoder(state))
        return;
    static const QStringList samples{
        QStringLiteral("meeting tomorrow at 3pm"), QStringLiteral("pizza recipe"), QStringLiteral("git rebase tutorial"),
        QStringLiteral("john.doe@example.com"),    QStringLiteral("how to bake bread"), QStringLiteral("call the dentist on monday"),
        QStringLiteral("flight confirmation LX 318"), QStringLiteral("#ff5733"),
    };
    QStringList texts;
    for (int i = 0; i < state.range(0); ++i)
        texts << samples.at(i % samples.size()) + QStringLiteral(" %1").arg(i);
    for (auto _ : state)
        benchmark::DoNotOptimize(encoder->vectors(texts));
    // Shown as time per text.
    state.counters["per_text"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EncodeBatchedShortTexts)->Arg(10)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_GenerateEmbeddingClipboardText(benchmark::State &state)
{
    if (!ensureEncoder(state))
        return;
    EmbeddingManager manager([] { return std::shared_ptr<const TextEmbeddingModel>(encoder); }, [] { return nullptr; });
    const QString text = QStringLiteral("https://www.example.com/blog/how-to-bake_sourdough-bread?utm_source=newsletter&ref=home");
    for (auto _ : state)
        benchmark::DoNotOptimize(manager.generateEmbedding(text));
}
BENCHMARK(BM_GenerateEmbeddingClipboardText)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
