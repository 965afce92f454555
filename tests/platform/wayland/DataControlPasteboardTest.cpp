#include "FakeDataControlDevice.h"
#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

const QString utf8Text = QStringLiteral("text/plain;charset=utf-8");
using Offers = std::vector<DataControlDevice::OfferId>;

} // namespace

TEST_F(DataControlPasteboardTest, EveryCopyIsCountedSignalledReadAndItsReplacedOfferReleased)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    const auto first = device->copy({{utf8Text, QByteArray("first")}, {QStringLiteral("TEXT"), QByteArray("first")}});
    EXPECT_EQ(pasteboard->changeCount(), 1);
    ASSERT_TRUE(waitFor([&] { return changes.count() == 1; }));
    EXPECT_EQ(read()->text, QStringLiteral("first"));

    device->copy({{QStringLiteral("text/plain"), QByteArray("second")}});
    EXPECT_EQ(pasteboard->changeCount(), 2);
    ASSERT_TRUE(waitFor([&] { return changes.count() == 2; }));
    EXPECT_EQ(read()->text, QStringLiteral("second"));
    // Otherwise the compositor keeps every old offer alive.
    EXPECT_EQ(device->destroyedOffers, Offers{first});
}

TEST_F(DataControlPasteboardTest, OfferReplacedDuringItsReadEndsThatReadAtOnceWithNothing)
{
    open(true, {std::chrono::hours(1)}); // only the replacement can end the read
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
    EXPECT_EQ(device->destroyedOffers, Offers{hung});
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
    EXPECT_TRUE(read()); // a later request on the same offer ending proves the first had its chance
    EXPECT_FALSE(ran);
}

TEST_F(DataControlPasteboardTest, OurOwnClipboardIsNeverReadThroughAPipeWhichWouldDeadlock)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("mine ✓")));
    EXPECT_EQ(read()->text, QStringLiteral("mine ✓"));
    device->confirmOwnSelection();
    EXPECT_EQ(read()->text, QStringLiteral("mine ✓"));
    EXPECT_TRUE(device->received.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(pasteboard->changeCount(), 1); // the confirmation is no new copy
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(DataControlPasteboardTest, WrittenContentIsServedInEachTypesEncodingAndUnofferedTypesDoNotHang)
{
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("Grüße")));
    EXPECT_EQ(paste(utf8Text), QStringLiteral("Grüße").toUtf8());
    EXPECT_EQ(paste(QStringLiteral("STRING")), QStringLiteral("Grüße").toLatin1());
    EXPECT_EQ(paste(QStringLiteral("image/png")), QByteArray());

    // Writes between clears add to the same contents.
    pasteboard->clearContents();
    pasteboard->writeText(QStringLiteral("caption"));
    pasteboard->writeData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    EXPECT_EQ(paste(QStringLiteral("image/png")), QByteArray("\x89PNG"));
    EXPECT_EQ(paste(QStringLiteral("text/plain")), QByteArray("caption"));

    pasteboard->clearContents();
    pasteboard->writeUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")), QUrl(QStringLiteral("https://example.org/"))});
    EXPECT_EQ(paste(QStringLiteral("text/uri-list")), QByteArray("file:///tmp/a%20b.txt\r\nhttps://example.org/\r\n"));
    EXPECT_EQ(paste(utf8Text), QByteArray("/tmp/a b.txt\nhttps://example.org/"));
    EXPECT_FALSE(device->sources.at(device->selectionSource).contains(QStringLiteral("image/png")));
    EXPECT_EQ(read()->urls->size(), 2);
}

TEST_F(DataControlPasteboardTest, ReplacedSourcesAreDestroyedAndALatePasteFromThemStillEnds)
{
    pasteboard->writeText(QStringLiteral("one"));
    const auto first = device->selectionSource;
    pasteboard->writeText(QStringLiteral("two"));
    device->cancel(first);
    EXPECT_EQ(device->destroyedSources, std::vector<DataControlDevice::SourceId>{first});
    EXPECT_TRUE(paste(utf8Text, first).isEmpty());
}

TEST_F(DataControlPasteboardTest, EmptiedClipboardIsReportedAfterTheChangeOnlyWhenAnotherOwnerQuit)
{
    QStringList events;
    QObject::connect(pasteboard.get(), &Pasteboard::changed, [&] { events.append(QStringLiteral("changed")); });
    QObject::connect(pasteboard.get(), &Pasteboard::becameEmpty, [&] { events.append(QStringLiteral("empty")); });
    const auto settle = [&](qsizetype changes) {
        ASSERT_TRUE(waitFor([&] { return events.count(QStringLiteral("changed")) == changes; }));
        QCoreApplication::processEvents();
    };

    device->copy({{utf8Text, QByteArray("from an editor")}});
    device->empty(); // the editor quits
    settle(2);
    EXPECT_EQ(events, QStringList({QStringLiteral("changed"), QStringLiteral("changed"), QStringLiteral("empty")}));
    const auto empty = read();
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->text || empty->urls || !empty->data.empty() || empty->isSecret);

    // Our own write emptied by someone else: no owner quit.
    pasteboard->writeText(QStringLiteral("ours"));
    device->confirmOwnSelection();
    device->empty();
    settle(4);
    // Emptied and at once filled again: nothing left to fill.
    device->copy({{utf8Text, QByteArray("x")}});
    device->empty();
    device->copy({{utf8Text, QByteArray("y")}});
    settle(7);
    EXPECT_EQ(events.count(QStringLiteral("empty")), 1);
}

TEST_F(DataControlPasteboardTest, PrimarySelectionIsWrittenOnlyWhereTheProtocolHasIt)
{
    ASSERT_TRUE(pasteboard->writePrimaryText(QStringLiteral("middle click")));
    EXPECT_EQ(device->selectionSource, 0u);
    EXPECT_EQ(pasteboard->changeCount(), 0);
    EXPECT_EQ(paste(QStringLiteral("UTF8_STRING"), device->primarySource), QByteArray("middle click"));

    open(/*primarySelection=*/false);
    EXPECT_FALSE(pasteboard->writePrimaryText(QStringLiteral("middle click")));
}

TEST_F(DataControlPasteboardTest, WithoutDataControlEverythingFailsQuietlyAndIsSaidOnce)
{
    DiagnosticsCapture log;
    pasteboard = std::make_unique<DataControlPasteboard>(nullptr, DataControlPasteboard::Options{});
    EXPECT_FALSE(pasteboard->isAvailable());
    EXPECT_FALSE(pasteboard->unavailableReason().isEmpty());
    EXPECT_FALSE(read());
    EXPECT_FALSE(pasteboard->writeText(QStringLiteral("a")));
    EXPECT_FALSE(pasteboard->writeText(QStringLiteral("b")));
    EXPECT_FALSE(pasteboard->writePrimaryText(QStringLiteral("c")));
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Nothing is written to the Wayland clipboard")), 1);
}
