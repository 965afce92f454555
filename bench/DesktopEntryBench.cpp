// Scanning the installed applications (the settings window's picker) over generated desktop entries.
#include "platform/linux/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace snipbrook;

namespace {

// `count` entries shaped like real ones: localised names, actions, a few hidden, some in subfolders.
void writeEntries(const QString &dataDir, int first, int count)
{
    const QString root = dataDir + QStringLiteral("/applications");
    QDir().mkpath(root + QStringLiteral("/vendor"));
    for (int i = first; i < first + count; ++i) {
        const QString folder = i % 10 == 0 ? root + QStringLiteral("/vendor") : root;
        QFile file(folder + QStringLiteral("/org.example.App%1.desktop").arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return;
        QByteArray text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
        text += "Name=Application " + QByteArray::number(i) + "\n";
        for (const char *locale : {"de", "fr", "es", "it", "ja", "pt_BR", "ru", "zh_CN"})
            text += QByteArray("Name[") + locale + "]=Anwendung " + QByteArray::number(i) + "\n";
        text += "GenericName=Example\nComment=An application generated for the benchmark\n";
        text += "Exec=/usr/bin/app" + QByteArray::number(i) + " %U\nIcon=app" + QByteArray::number(i) + "\n";
        text += "Categories=Utility;Development;\nMimeType=text/plain;text/x-c++src;\n";
        if (i % 25 == 0)
            text += "NoDisplay=true\n";
        text += "\n[Desktop Action new-window]\nName=New Window\nExec=/usr/bin/app --new-window\n";
        file.write(text);
    }
}

void BM_ScanInstalledApplications500(benchmark::State &state)
{
    QTemporaryDir home;
    QTemporaryDir system;
    writeEntries(home.path(), 0, 50);
    writeEntries(system.path(), 50, 450);
    DesktopEntryIndex index({home.path(), system.path()}, QStringLiteral("de_DE.UTF-8"));
    std::size_t shown = 0;
    for (auto _ : state) {
        shown = index.shownEntries(true).size();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["shown"] = double(shown);
}
BENCHMARK(BM_ScanInstalledApplications500)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
