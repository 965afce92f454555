// Classification and reading costs on the capture path.
#include "capture/ClipboardReader.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace snipbrook;

namespace {

QString proseOfLength(qsizetype length)
{
    static const QString words = QStringLiteral("the quick brown fox jumps over a lazy dog while seven wizards quietly pack ");
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text.append(words);
    text.truncate(length);
    return text;
}

void BM_ClassifyText100(benchmark::State &state)
{
    const QString text = proseOfLength(100);
    for (auto _ : state)
        benchmark::DoNotOptimize(classifyText(text, {}));
}
BENCHMARK(BM_ClassifyText100);

void BM_ClassifyText1MiB(benchmark::State &state)
{
    const QString text = proseOfLength(1 << 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(classifyText(text, {}));
}
BENCHMARK(BM_ClassifyText1MiB)->Unit(benchmark::kMillisecond);

void BM_ReadClipboardContentPng10MiB(benchmark::State &state)
{
    QByteArray bytes(10 << 20, Qt::Uninitialized);
    std::mt19937 random(1);
    for (char &c : bytes)
        c = static_cast<char>(random());
    PasteboardSnapshot snapshot;
    snapshot.data[mime::png] = bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(readClipboardContent(snapshot, {}));
}
BENCHMARK(BM_ReadClipboardContentPng10MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
