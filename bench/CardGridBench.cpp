// Painting the main window's grid of cards offscreen: one screenful of mixed cards with their
// thumbnails decoded, and the page steps of scrolling a 10,000-card grid from top to bottom (each
// step is the scroll and the paint of the new screenful; the slowest one counts).
// Run with QT_QPA_PLATFORM=offscreen.
#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "ui/CardGridModel.h"
#include "ui/CardGridView.h"
#include "ui/ThumbnailCache.h"

#include "support/FakePasteboard.h"
#include "support/NullHistoryStorage.h"
#include "support/FakePreferences.h"
#include "support/FakeSemanticSearcher.h"
#include "support/FakeWorkspace.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include <time.h>

using namespace snipbrook;

namespace {

using NullStorage = test::NullHistoryStorage;

QString photoBase64(int index)
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(index * 37 % 360, 160, 200));
    QPainter painter(&image);
    painter.fillRect(200, 150, 400, 300, QColor::fromHsv(index * 91 % 360, 200, 120));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

// Every kind of card in turn, with the metadata their badges read; every 50th card an image.
QList<ClipboardItem> mixedItems(int count)
{
    using Type = ClipboardItemType;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<ClipboardItem> items;
    items.reserve(count);
    QList<QString> photos;
    for (int i = 0; i < 8; ++i)
        photos.append(photoBase64(i));
    for (int i = 0; i < count; ++i) {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.timestamp = now.addSecs(-i * 47);
        item.isFavorite = i % 13 == 0;
        ClipboardMetadata metadata;
        metadata.sourceApp = QStringLiteral("Editor");
        metadata.sourceAppBundle = QStringLiteral("org.example.editor");
        if (i % 50 == 7) {
            item.type = Type::image;
            item.content = photos.at(i % photos.size());
            metadata.size = item.content.size() * 3 / 4;
        } else {
            switch (i % 10) {
            case 0:
                item.type = Type::text;
                item.content = QStringLiteral("Card %1: notes about the meeting on topic %2, with a few more words so the "
                                              "text wraps over several lines of the card.")
                                   .arg(i)
                                   .arg(i % 37);
                break;
            case 1:
                item.type = Type::link;
                item.content = QStringLiteral("https://example.org/articles/%1?ref=card").arg(i);
                metadata.url = item.content;
                break;
            case 2:
                item.type = Type::code;
                item.content = QStringLiteral("def handle_%1(event):\n    if event.kind == 'copy':\n        return store(event)\n"
                                              "    return None\n")
                                   .arg(i);
                metadata.language = QStringLiteral("python");
                break;
            case 3:
                item.type = Type::email;
                item.content = QStringLiteral("person%1@example.org").arg(i);
                break;
            case 4:
                item.type = Type::color;
                item.content = QStringLiteral("#%1").arg(i * 2654435761u % 0xFFFFFF, 6, 16, QLatin1Char('0'));
                metadata.colorValue = item.content;
                break;
            case 5:
                item.type = Type::file;
                item.content = QStringLiteral("/home/user/Documents/report-%1.pdf").arg(i);
                metadata.fileCount = 1;
                break;
            case 6:
                item.type = Type::multipleFiles;
                item.content = QStringLiteral("/home/user/a%1.txt\n/home/user/b%1.txt\n/home/user/c%1.txt").arg(i);
                metadata.fileCount = 3;
                break;
            case 7:
                item.type = Type::phone;
                item.content = QStringLiteral("+1 555 %1").arg(1000 + i % 9000);
                break;
            case 8:
                item.type = Type::richText;
                item.content = QStringLiteral("Formatted text %1 with bold and italic parts").arg(i);
                break;
            default:
                item.type = Type::emoji;
                item.content = QStringLiteral("🎉");
                break;
            }
        }
        // A captured image's preview is its data.
        item.preview = item.type == Type::image ? item.content : item.content.left(200);
        item.metadata = metadata;
        items.append(std::move(item));
    }
    return items;
}

// A grid of cards as the main window has it, over a history that is never used.
struct Grid {
    test::FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    test::FakePasteboard pasteboard;
    test::FakeWorkspace workspace;
    NullStorage storage;
    test::FakeSemanticSearcher searcher;
    ClipboardManager history{configuration, pasteboard, workspace, storage, searcher, SystemClock::instance()};
    CardGridView view{history};
    QImage canvas;

    explicit Grid(const QList<ClipboardItem> &items)
    {
        view.resize(1000, 700);
        view.setColumnCount(3);
        view.setItems(items);
        view.show();
        canvas = QImage(view.size() * view.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(view.devicePixelRatio());
        QCoreApplication::processEvents(); // the delayed layout
        paint();
    }
    void paint()
    {
        canvas.fill(Qt::transparent);
        view.render(&canvas);
    }
    // Paints until every image on screen has its thumbnail.
    bool settleThumbnails()
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            paint();
            bool all = true;
            const QList<ClipboardItem> &items = view.cardModel().items();
            for (int row = 0; row < items.size(); ++row) {
                const QRect card = view.visualRect(view.cardModel().index(row));
                if (items[row].type == ClipboardItemType::image && view.viewport()->rect().intersects(card)
                    && !view.thumbnails().isDecoded(items[row].id))
                    all = false;
            }
            if (all)
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return false;
    }
};

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double percentileMs(std::vector<qint64> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return double(values[std::min(values.size() - 1, size_t(fraction * double(values.size())))]) / 1e6;
}

void BM_PaintScreenful(benchmark::State &state)
{
    // A screenful with two images among ten kinds of card.
    QList<ClipboardItem> items = mixedItems(60);
    std::swap(items[3], items[7]);
    Grid grid(items);
    if (!grid.settleThumbnails())
        state.SkipWithError("the thumbnails were not decoded");
    for (auto _ : state)
        grid.paint();
}
BENCHMARK(BM_PaintScreenful)->Unit(benchmark::kMillisecond);

void BM_ScrollPageSteps(benchmark::State &state)
{
    Grid grid(mixedItems(10000));
    QScrollBar *bar = grid.view.verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(0);
        QCoreApplication::processEvents();
        std::vector<qint64> wall;
        std::vector<qint64> cpu;
        QElapsedTimer timer;
        while (bar->value() < bar->maximum()) {
            const qint64 cpuStart = threadCpuNs();
            timer.start();
            bar->setValue(bar->value() + bar->pageStep());
            grid.paint();
            wall.push_back(timer.nsecsElapsed());
            cpu.push_back(threadCpuNs() - cpuStart);
            // Thumbnails that arrived meanwhile, as the window's event loop would take them.
            QCoreApplication::processEvents();
        }
        // Wall time counts; the main thread's own CPU time tells the painting from waiting for a
        // core on a busy machine.
        state.counters["steps"] = double(wall.size());
        state.counters["mean_step_ms"] = double(std::accumulate(wall.begin(), wall.end(), qint64(0))) / wall.size() / 1e6;
        state.counters["p99_step_ms"] = percentileMs(wall, 0.99);
        state.counters["slowest_step_ms"] = percentileMs(wall, 1.0);
        state.counters["slowest_step_cpu_ms"] = percentileMs(cpu, 1.0);
    }
}
BENCHMARK(BM_ScrollPageSteps)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
