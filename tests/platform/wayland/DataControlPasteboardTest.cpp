#include "FakeDataControlDevice.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/PipeTransfer.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace std::chrono_literals;

namespace {

const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");

class DataControlPasteboardTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    void open(bool primarySelection = true)
    {
        pasteboard.reset();
        auto fake = std::make_unique<FakeDataControlDevice>(primarySelection);
        device = fake.get();
        DataControlPasteboard::Options options;
        options.limits.pipe.stepTimeout = 100ms;
        pasteboard = std::make_unique<DataControlPasteboard>(std::move(fake), options);
    }

    // The snapshot, or nothing when the read failed; fails the test if the handler never ran.
    std::optional<PasteboardSnapshot> read()
    {
        QObject context;
        bool done = false;
        std::optional<PasteboardSnapshot> result;
        pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> snapshot) {
            done = true;
            result = std::move(snapshot);
        });
        EXPECT_TRUE(waitFor([&] { return done; })) << "the handler never ran";
        return result;
    }

    // What a paste of `type` from our current source gets.
    QByteArray paste(const QString &type)
    {
        const PipeRead read = readPipe(device->paste(device->selectionSource, type), PipeLimits{},
                                       std::chrono::steady_clock::now() + 10s);
        EXPECT_EQ(read.status, PipeStatus::complete);
        return read.bytes;
    }

    std::unique_ptr<DataControlPasteboard> pasteboard;
    FakeDataControlDevice *device = nullptr;
};

} // namespace

TEST_F(DataControlPasteboardTest, EveryCopyOfAnotherApplicationIsCountedSignalledAndRead)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    EXPECT_TRUE(pasteboard->isAvailable());
    EXPECT_EQ(pasteboard->changeCount(), 0);

    const auto first = device->copy({{utf8Text, QByteArray("first")}, {QStringLiteral("TEXT"), QByteArray("first")}});
    EXPECT_EQ(pasteboard->changeCount(), 1);
    ASSERT_TRUE(waitFor([&] { return changes.count() == 1; }));
    EXPECT_EQ(read()->text, QStringLiteral("first"));

    device->copy({{QStringLiteral("text/plain"), QByteArray("second")}});
    EXPECT_EQ(pasteboard->changeCount(), 2);
    ASSERT_TRUE(waitFor([&] { return changes.count() == 2; }));
    EXPECT_EQ(read()->text, QStringLiteral("second"));
    // The replaced offer is let go of, or the compositor keeps every old offer alive.
    EXPECT_EQ(device->destroyedOffers, std::vector<DataControlDevice::OfferId>{first});
}

TEST_F(DataControlPasteboardTest, OfferReplacedDuringItsReadGivesNothingAndNoCrash)
{
    // The first owner hangs; before its time-out a new copy arrives.
    const auto hung = device->copy({{utf8Text, std::nullopt}});
    QObject context;
    bool done = false;
    std::optional<PasteboardSnapshot> stale = PasteboardSnapshot{};
    pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> snapshot) {
        done = true;
        stale = std::move(snapshot);
    });
    ASSERT_EQ(device->received.size(), 1u);
    device->copy({{utf8Text, QByteArray("new")}});
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_FALSE(stale);
    EXPECT_EQ(device->destroyedOffers, std::vector<DataControlDevice::OfferId>{hung});
    EXPECT_EQ(read()->text, QStringLiteral("new"));
}

TEST_F(DataControlPasteboardTest, HandlerOfAContextThatIsGoneNeverRuns)
{
    device->copy({{utf8Text, QByteArray("text")}});
    bool ran = false;
    {
        QObject context;
        pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot>) { ran = true; });
    }
    // A later request on the same offer finishing proves the first one had its chance.
    EXPECT_TRUE(read());
    EXPECT_FALSE(ran);
}

TEST_F(DataControlPasteboardTest, OurOwnClipboardIsAnsweredFromWhatWeWroteNeverThroughAPipe)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("mine ✓")));
    EXPECT_EQ(pasteboard->changeCount(), 1);
    EXPECT_EQ(changes.count(), 1);
    // Before and after the compositor confirms it.
    EXPECT_EQ(read()->text, QStringLiteral("mine ✓"));
    device->confirmOwnSelection();
    EXPECT_EQ(pasteboard->changeCount(), 1);
    EXPECT_EQ(read()->text, QStringLiteral("mine ✓"));
    EXPECT_TRUE(device->received.empty());
    QCoreApplication::processEvents(); // the queued signals of the events above
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(DataControlPasteboardTest, WrittenTextIsServedUnderEveryNameApplicationsAskFor)
{
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("Grüße")));
    const QStringList offered = device->sources.at(device->selectionSource);
    for (const QString &type : {utf8Text, QStringLiteral("text/plain"), QStringLiteral("UTF8_STRING"),
                                QStringLiteral("TEXT"), QStringLiteral("STRING")})
        EXPECT_TRUE(offered.contains(type)) << type.toStdString();
    EXPECT_EQ(paste(utf8Text), QStringLiteral("Grüße").toUtf8());
    EXPECT_EQ(paste(QStringLiteral("STRING")), QStringLiteral("Grüße").toLatin1());
    // A type we never offered gets an empty answer, not a hang.
    EXPECT_EQ(paste(QStringLiteral("image/png")), QByteArray());
}

TEST_F(DataControlPasteboardTest, WritesBetweenClearsAddToTheSameContents)
{
    const QByteArray png("\x89PNG fake");
    pasteboard->clearContents();
    pasteboard->writeText(QStringLiteral("caption"));
    pasteboard->writeData(QStringLiteral("image/png"), png);
    EXPECT_EQ(paste(QStringLiteral("image/png")), png);
    EXPECT_EQ(paste(QStringLiteral("text/plain")), QByteArray("caption"));

    pasteboard->clearContents();
    pasteboard->writeUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")), QUrl(QStringLiteral("https://example.org/"))});
    EXPECT_EQ(paste(QStringLiteral("text/uri-list")), QByteArray("file:///tmp/a%20b.txt\r\nhttps://example.org/\r\n"));
    EXPECT_EQ(paste(utf8Text), QByteArray("/tmp/a b.txt\nhttps://example.org/"));
    EXPECT_FALSE(device->sources.at(device->selectionSource).contains(QStringLiteral("image/png")));

    const auto snapshot = read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->urls->size(), 2);
    EXPECT_TRUE(snapshot->data.empty());
}

TEST_F(DataControlPasteboardTest, ReplacedSourcesAreDestroyed)
{
    pasteboard->writeText(QStringLiteral("one"));
    const auto first = device->selectionSource;
    pasteboard->writeText(QStringLiteral("two"));
    device->cancel(first);
    EXPECT_EQ(device->destroyedSources, std::vector<DataControlDevice::SourceId>{first});
    // A paste already asked of a cancelled source still ends (with nothing).
    const PipeRead late = readPipe(device->paste(first, utf8Text), PipeLimits{}, std::chrono::steady_clock::now() + 10s);
    EXPECT_EQ(late.status, PipeStatus::complete);
    EXPECT_TRUE(late.bytes.isEmpty());
}

TEST_F(DataControlPasteboardTest, EmptiedClipboardIsReportedUnlessWeHeldIt)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    QSignalSpy emptied(pasteboard.get(), &Pasteboard::becameEmpty);
    QStringList order;
    QObject::connect(pasteboard.get(), &Pasteboard::changed, [&] { order.append(QStringLiteral("changed")); });
    QObject::connect(pasteboard.get(), &Pasteboard::becameEmpty, [&] { order.append(QStringLiteral("empty")); });

    // The copying application quits.
    device->copy({{utf8Text, QByteArray("from an editor")}});
    device->empty();
    ASSERT_TRUE(waitFor([&] { return emptied.count() == 1; }));
    EXPECT_EQ(order, QStringList({QStringLiteral("changed"), QStringLiteral("changed"), QStringLiteral("empty")}));
    const auto empty = read();
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->text || empty->urls || !empty->data.empty() || empty->isSecret);

    // Someone empties the clipboard while it holds our own write: not an owner that quit.
    pasteboard->writeText(QStringLiteral("ours"));
    device->confirmOwnSelection();
    device->empty();
    ASSERT_TRUE(waitFor([&] { return changes.count() == 4; }));
    QCoreApplication::processEvents(); // the queued signals of the events above
    EXPECT_EQ(emptied.count(), 1);

    // Emptied and at once filled again: nothing left to fill.
    device->copy({{utf8Text, QByteArray("x")}});
    device->empty();
    device->copy({{utf8Text, QByteArray("y")}});
    ASSERT_TRUE(waitFor([&] { return changes.count() == 7; }));
    QCoreApplication::processEvents(); // the queued signals of the events above
    EXPECT_EQ(emptied.count(), 1);
}

TEST_F(DataControlPasteboardTest, PrimarySelectionIsWrittenWhereTheProtocolHasIt)
{
    ASSERT_TRUE(pasteboard->writePrimaryText(QStringLiteral("middle click")));
    ASSERT_NE(device->primarySource, 0u);
    EXPECT_EQ(device->selectionSource, 0u);
    EXPECT_EQ(pasteboard->changeCount(), 0);
    const PipeRead read = readPipe(device->paste(device->primarySource, QStringLiteral("UTF8_STRING")), PipeLimits{},
                                   std::chrono::steady_clock::now() + 10s);
    EXPECT_EQ(read.bytes, QByteArray("middle click"));

    open(/*primarySelection=*/false);
    EXPECT_FALSE(pasteboard->writePrimaryText(QStringLiteral("middle click")));
}

TEST_F(DataControlPasteboardTest, WithoutDataControlEverythingFailsQuietlyAndIsSaidOnce)
{
    DiagnosticsCapture log;
    pasteboard = std::make_unique<DataControlPasteboard>(nullptr, DataControlPasteboard::Options{});
    device = nullptr;
    EXPECT_FALSE(pasteboard->isAvailable());
    EXPECT_FALSE(pasteboard->unavailableReason().isEmpty());
    EXPECT_FALSE(read());
    EXPECT_FALSE(pasteboard->writeText(QStringLiteral("a")));
    EXPECT_FALSE(pasteboard->writeText(QStringLiteral("b")));
    EXPECT_FALSE(pasteboard->writePrimaryText(QStringLiteral("c")));
    EXPECT_EQ(pasteboard->changeCount(), 0);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Nothing is written to the Wayland clipboard")), 1);
}
