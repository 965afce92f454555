// How soon a copy in another application reaches a snapshot handler on the main thread, on a
// private Xvfb: from the copy to the handler, through the change notification, the immediate
// snapshot request and the off-thread read (TARGETS, then the text).
#include "TestSelectionOwner.h"
#include "XvfbServer.h"
#include "platform/linux/X11Pasteboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace snipbrook;

namespace {

X11Pasteboard *pasteboard = nullptr;
QString display;
std::unique_ptr<test::TestSelectionOwner> owner;
std::vector<std::unique_ptr<QProcess>> xclipOwners;

// Seconds from `copy` to the handler receiving `expected`; negative when it did not arrive.
double changeToSnapshot(const std::function<void()> &copy, const QString &expected)
{
    QEventLoop loop;
    QObject context;
    bool matched = false;
    QObject::connect(pasteboard, &Pasteboard::changed, &context, [&] {
        pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> snapshot) {
            if (snapshot && snapshot->text == expected) {
                matched = true;
                loop.quit();
            }
        });
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    copy();
    if (!matched)
        loop.exec();
    return matched ? static_cast<double>(timer.nsecsElapsed()) / 1e9 : -1.0;
}

double percentile95(const std::vector<double> &values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0.0 : sorted[static_cast<size_t>(0.95 * static_cast<double>(sorted.size() - 1))];
}

// Another X client of this process takes the clipboard: the pasteboard's own latency.
void BM_OwnerChangeToSnapshot(benchmark::State &state)
{
    static int serial = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("copied text %1").arg(++serial);
        const double seconds = changeToSnapshot([&] { owner->own({{"UTF8_STRING", text.toUtf8()}}); }, text);
        if (seconds < 0) {
            state.SkipWithError("no snapshot");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_OwnerChangeToSnapshot)
    ->Iterations(1)->Repetitions(200)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("p95", percentile95)->ReportAggregatesOnly(true);

// xclip started with new text: what a user's copy costs end to end, the tool's start included.
void BM_XclipCopyToSnapshot(benchmark::State &state)
{
    static int serial = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("xclip text %1").arg(++serial);
        const double seconds = changeToSnapshot(
            [&] {
                auto process = std::make_unique<QProcess>();
                process->start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                                          QStringLiteral("clipboard"), QStringLiteral("-i")});
                process->write(text.toUtf8());
                process->closeWriteChannel();
                xclipOwners.push_back(std::move(process));
            },
            text);
        if (seconds < 0) {
            state.SkipWithError("no snapshot");
            return;
        }
        state.SetIterationTime(seconds);
        // Replaced owners exit by themselves; reap them.
        std::erase_if(xclipOwners, [](const auto &p) { return p->state() == QProcess::NotRunning; });
    }
}
BENCHMARK(BM_XclipCopyToSnapshot)
    ->Iterations(1)->Repetitions(100)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("p95", percentile95)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    test::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "bench_x11_clipboard skipped: %s\n", qPrintable(xvfb.failure()));
        return 0;
    }
    display = xvfb.display();
    ::setenv("DISPLAY", display.toLocal8Bit().constData(), 1);
    QCoreApplication app(argc, argv);
    X11Pasteboard board;
    pasteboard = &board;
    owner = std::make_unique<test::TestSelectionOwner>(display);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto &process : xclipOwners) {
        process->kill();
        process->waitForFinished(1000);
    }
    xclipOwners.clear();
    owner.reset();
    return 0;
}
