// Opening the settings window offscreen, to painted: the first time (the window is built) and
// again (the window is reused, as the program does). 500 installed applications are scanned in
// the background meanwhile; the scan must not hold up the paint. Run with QT_QPA_PLATFORM=offscreen.
#include "config/ConfigurationManager.h"
#include "core/BackgroundPool.h"
#include "ui/SettingsViewModel.h"
#include "ui/SettingsWindow.h"

#include "support/FakePreferences.h"
#include "support/FakeWorkspace.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <memory>

using namespace snipbrook;

namespace {

struct Settings {
    test::FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    test::FakeWorkspace workspace;
    std::unique_ptr<SettingsViewModel> viewModel;

    Settings()
    {
        for (int i = 0; i < 500; ++i) {
            const QString id = QStringLiteral("org.example.App%1").arg(i);
            workspace.installed.insert(id, QStringLiteral("/usr/share/applications/%1.desktop").arg(id));
            workspace.installedNames.insert(id, QStringLiteral("Application %1").arg(i));
        }
        for (int i = 0; i < 30; ++i)
            workspace.running.append(test::FakeWorkspace::app(QStringLiteral("Running %1").arg(i),
                                                              QStringLiteral("org.example.App%1").arg(i), 100 + i));
        configuration.setBlacklistedBundleIds({QStringLiteral("org.example.App1"), QStringLiteral("org.example.App2"),
                                               QStringLiteral("org.keepassxc.KeePassXC")});
        viewModel = std::make_unique<SettingsViewModel>(SettingsServices{configuration, preferences, workspace});
    }
};

// Closes the window and lets the installed-applications scan its opening started finish, off
// the clock.
void closeUntimed(benchmark::State &state, SettingsWindow &window)
{
    state.PauseTiming();
    window.hide();
    backgroundPool().waitForDone();
    QCoreApplication::processEvents();
    state.ResumeTiming();
}

void BM_OpenSettingsFirstTime(benchmark::State &state)
{
    Settings settings;
    for (auto _ : state) {
        SettingsWindow window(*settings.viewModel);
        window.show();
        benchmark::DoNotOptimize(window.grab().toImage());
        closeUntimed(state, window);
    }
}
BENCHMARK(BM_OpenSettingsFirstTime)->Unit(benchmark::kMillisecond);

void BM_OpenSettingsAgain(benchmark::State &state)
{
    Settings settings;
    SettingsWindow window(*settings.viewModel);
    for (auto _ : state) {
        window.show();
        benchmark::DoNotOptimize(window.grab().toImage());
        closeUntimed(state, window);
    }
}
BENCHMARK(BM_OpenSettingsAgain)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
