#include "TestSelectionOwner.h"
#include "X11TestEnvironment.h"
#include "platform/linux/X11Pasteboard.h"
#include "support/DiagnosticsCapture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>

#include <random>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace std::chrono_literals;

namespace {

QByteArray pngBytes(const QColor &color)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 random(7);
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

QByteArray rgba16(quint16 r, quint16 g, quint16 b, quint16 a)
{
    const quint16 components[4] = {r, g, b, a};
    return QByteArray(reinterpret_cast<const char *>(components), sizeof components);
}

class X11PasteboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        pasteboard = makePasteboard(500ms);
        ASSERT_TRUE(pasteboard->isConnected());
    }

    void TearDown() override
    {
        for (auto &owner : owners) {
            ::kill(static_cast<pid_t>(owner->processId()), SIGCONT);
            owner->kill();
            owner->waitForFinished(5000);
        }
    }

    static std::unique_ptr<X11Pasteboard> makePasteboard(std::chrono::milliseconds stepTimeout)
    {
        X11Pasteboard::Options options;
        options.limits.stepTimeout = stepTimeout;
        return std::make_unique<X11Pasteboard>(options);
    }

    bool waitForChangeAfter(qint64 count, X11Pasteboard *board = nullptr)
    {
        board = board ? board : pasteboard.get();
        return QTest::qWaitFor([&] { return board->changeCount() > count; }, 10000);
    }

    // Another application copies: xclip owns the clipboard until someone else takes it.
    QProcess *copyWithXclip(const QString &type, const QByteArray &bytes)
    {
        const qint64 before = pasteboard->changeCount();
        owners.push_back(startXclipOwner(type, bytes));
        EXPECT_TRUE(owners.back()) << "xclip did not start";
        EXPECT_TRUE(waitForChangeAfter(before)) << "the copy was not seen";
        return owners.back().get();
    }

    // The snapshot handed to the handler; outer nothing when the handler was not called in time.
    std::optional<std::optional<PasteboardSnapshot>> snapshot(X11Pasteboard *board = nullptr, int timeoutMs = 10000)
    {
        board = board ? board : pasteboard.get();
        QObject context;
        bool delivered = false;
        std::optional<PasteboardSnapshot> result;
        board->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> s) {
            delivered = true;
            result = std::move(s);
        });
        if (!QTest::qWaitFor([&] { return delivered; }, timeoutMs))
            return std::nullopt;
        return result;
    }

    std::unique_ptr<X11Pasteboard> pasteboard;
    std::vector<std::unique_ptr<QProcess>> owners;
};

TEST_F(X11PasteboardTest, ReadsTextImagesAndFileListsOfOtherApplications)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    const QString text = QStringLiteral("Grüße, world ✓ 👋\n");
    copyWithXclip(QStringLiteral("UTF8_STRING"), text.toUtf8());
    EXPECT_GE(changes.count(), 1);
    auto read = snapshot();
    ASSERT_TRUE(read && *read);
    EXPECT_EQ((*read)->text, text);
    EXPECT_TRUE((*read)->data.empty());
    EXPECT_FALSE((*read)->urls);
    EXPECT_FALSE((*read)->isSecret);

    const QByteArray png = pngBytes(Qt::red);
    copyWithXclip(QStringLiteral("image/png"), png);
    read = snapshot();
    ASSERT_TRUE(read && *read);
    EXPECT_EQ((*read)->dataForType(mime::png), png);
    EXPECT_FALSE((*read)->text);

    copyWithXclip(QStringLiteral("text/uri-list"), "file:///tmp/report%202024.pdf\r\n");
    read = snapshot();
    ASSERT_TRUE(read && *read && (*read)->urls);
    EXPECT_EQ(*(*read)->urls, QList<QUrl>({QUrl::fromLocalFile(QStringLiteral("/tmp/report 2024.pdf"))}));

    copyWithXclip(QStringLiteral("x-special/gnome-copied-files"), "copy\nfile:///tmp/a.txt\nfile:///tmp/b.txt");
    read = snapshot();
    ASSERT_TRUE(read && *read && (*read)->urls);
    EXPECT_EQ((*read)->urls->size(), 2);
}

TEST_F(X11PasteboardTest, FetchesEachRepresentationOnceAndLargeOnesIncrementally)
{
    TestSelectionOwner owner(testDisplay());
    ASSERT_TRUE(owner.isValid());
    const QByteArray image = randomBytes(1 << 20);
    const qint64 before = pasteboard->changeCount();
    owner.own({{"image/png", image},
               {"image/jpeg", "not wanted once there is a PNG"},
               {"text/uri-list", "file:///tmp/picture.png\r\n"},
               {"UTF8_STRING", "picture.png"},
               {"text/plain", "picture.png"}},
              64 * 1024);
    ASSERT_TRUE(waitForChangeAfter(before));
    const auto read = snapshot();
    ASSERT_TRUE(read && *read);
    EXPECT_EQ((*read)->dataForType(mime::png), image);
    EXPECT_FALSE((*read)->dataForType(mime::jpeg));
    EXPECT_EQ((*read)->urls, QList<QUrl>({QUrl(QStringLiteral("file:///tmp/picture.png"))}));
    EXPECT_EQ((*read)->text, QStringLiteral("picture.png"));
    EXPECT_EQ(owner.requests(), QStringList({QStringLiteral("TARGETS"), QStringLiteral("image/png"),
                                             QStringLiteral("text/uri-list"), QStringLiteral("UTF8_STRING")}));
    EXPECT_EQ(owner.incrementalTransfers(), 1);

    // xclip sends anything beyond its request size incrementally as well.
    const QByteArray large = randomBytes(6 << 20);
    copyWithXclip(QStringLiteral("image/png"), large);
    const auto largeRead = snapshot();
    ASSERT_TRUE(largeRead && *largeRead);
    EXPECT_EQ((*largeRead)->dataForType(mime::png), large);
}

TEST_F(X11PasteboardTest, SecretContentIsFlaggedAndNeverFetched)
{
    TestSelectionOwner owner(testDisplay());
    ASSERT_TRUE(owner.isValid());
    for (const QByteArray &hint : {QByteArray("x-kde-passwordManagerHint"), QByteArray("text/x-kde-passwordManagerHint")}) {
        const qint64 before = pasteboard->changeCount();
        owner.own({{"UTF8_STRING", "hunter2"}, {hint, "secret"}});
        ASSERT_TRUE(waitForChangeAfter(before));
        const auto read = snapshot();
        ASSERT_TRUE(read && *read);
        EXPECT_TRUE((*read)->isSecret) << hint.constData();
        EXPECT_FALSE((*read)->text);
        EXPECT_FALSE(owner.requests().contains(QStringLiteral("UTF8_STRING")));
    }

    const qint64 before = pasteboard->changeCount();
    owner.own({{"UTF8_STRING", "shared on purpose"}, {"x-kde-passwordManagerHint", "public"}});
    ASSERT_TRUE(waitForChangeAfter(before));
    const auto read = snapshot();
    ASSERT_TRUE(read && *read);
    EXPECT_FALSE((*read)->isSecret);
    EXPECT_EQ((*read)->text, QStringLiteral("shared on purpose"));
}

TEST_F(X11PasteboardTest, HungOwnerCostsOneTimeOutOffTheMainThreadAndTheNextCopyIsRead)
{
    DiagnosticsCapture diagnostics;
    // A time-out long enough that a blocked main thread could not hide in scheduling noise.
    pasteboard = makePasteboard(2s);
    QProcess *hung = copyWithXclip(QStringLiteral("UTF8_STRING"), "never delivered");
    ::kill(static_cast<pid_t>(hung->processId()), SIGSTOP);

    // The event loop must keep turning while the read waits on the stopped owner.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    sinceTick.start();
    ticker.start();
    QElapsedTimer elapsed;
    elapsed.start();
    const auto read = snapshot();
    ticker.stop();
    ASSERT_TRUE(read) << "the handler was never called";
    EXPECT_FALSE(*read) << "a hung owner gives nothing";
    EXPECT_GE(elapsed.elapsed(), 1900);
    EXPECT_LT(elapsed.elapsed(), 6000);
    EXPECT_LT(longestGap, 1000) << "the main thread was blocked";
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ Clipboard owner did not answer in time: ")), 1);

    copyWithXclip(QStringLiteral("UTF8_STRING"), "the next copy");
    const auto next = snapshot();
    ASSERT_TRUE(next && *next);
    EXPECT_EQ((*next)->text, QStringLiteral("the next copy"));
}

TEST_F(X11PasteboardTest, NewCopyEndsAReadStuckOnAHungOwnerAtOnce)
{
    // A long step time-out, so that only the change of owner can end the read early.
    pasteboard = makePasteboard(30s);
    QProcess *hung = copyWithXclip(QStringLiteral("UTF8_STRING"), "never delivered");
    ::kill(static_cast<pid_t>(hung->processId()), SIGSTOP);

    QObject context;
    bool delivered = false;
    std::optional<PasteboardSnapshot> stuck;
    pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> s) {
        delivered = true;
        stuck = std::move(s);
    });
    QElapsedTimer elapsed;
    elapsed.start();
    copyWithXclip(QStringLiteral("UTF8_STRING"), "replacement");
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered; }, 10000));
    EXPECT_FALSE(stuck);
    EXPECT_LT(elapsed.elapsed(), 5000);

    const auto next = snapshot();
    ASSERT_TRUE(next && *next);
    EXPECT_EQ((*next)->text, QStringLiteral("replacement"));
}

TEST_F(X11PasteboardTest, OwnWritesAreServedAccumulateAndAreCountedOnce)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    const qint64 before = pasteboard->changeCount();
    const QString text = QStringLiteral("Grüße 👋");
    ASSERT_TRUE(pasteboard->writeText(text));
    // Raised at once, not after a round trip through the server.
    EXPECT_EQ(pasteboard->changeCount(), before + 1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(xclipRead(QStringLiteral("UTF8_STRING")), text.toUtf8());

    const QByteArray png = pngBytes(Qt::blue);
    ASSERT_TRUE(pasteboard->writeData(mime::png, png));
    EXPECT_EQ(xclipRead(QStringLiteral("image/png")), png);
    EXPECT_EQ(xclipRead(QStringLiteral("UTF8_STRING")), text.toUtf8()) << "earlier representations stay";

    // Our own reader reads what the toolkit serves for us, without a deadlock.
    const auto own = snapshot();
    ASSERT_TRUE(own && *own);
    EXPECT_EQ((*own)->text, text);
    EXPECT_EQ((*own)->dataForType(mime::png), png);

    // The server reports our ownership changes too; they were counted when written. Events
    // arrive in order, so once another application's copy is seen, ours have been as well.
    copyWithXclip(QStringLiteral("UTF8_STRING"), "someone else");
    EXPECT_EQ(pasteboard->changeCount(), before + 3);
}

TEST_F(X11PasteboardTest, WritesColoursAndUrlsAndClearsBetweenItems)
{
    DiagnosticsCapture diagnostics;
    pasteboard->clearContents();
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("#ff8000")));
    ASSERT_TRUE(pasteboard->writeData(mime::color, rgba16(0xffff, 0x8080, 0, 0xffff)));
    const auto color = xclipRead(mime::color);
    ASSERT_TRUE(color);
    ASSERT_EQ(color->size(), 8);
    quint16 components[4];
    std::memcpy(components, color->constData(), sizeof components);
    EXPECT_NEAR(components[0], 0xffff, 1);
    EXPECT_NEAR(components[1], 0x8080, 1);
    EXPECT_NEAR(components[2], 0, 1);
    EXPECT_NEAR(components[3], 0xffff, 1);
    EXPECT_EQ(xclipRead(QStringLiteral("UTF8_STRING")), QByteArray("#ff8000"));

    EXPECT_FALSE(pasteboard->writeData(mime::color, "no colour at all"));
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ Unreadable colour data, not written to the clipboard")), 1);

    pasteboard->clearContents();
    ASSERT_TRUE(pasteboard->writeUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x y.txt"))}));
    const auto urls = xclipRead(mime::uriList);
    ASSERT_TRUE(urls);
    EXPECT_TRUE(urls->contains("file:///tmp/x%20y.txt")) << urls->constData();
    const auto targets = xclipRead(QStringLiteral("TARGETS"));
    ASSERT_TRUE(targets);
    EXPECT_FALSE(targets->contains("application/x-color")) << "clearing drops the earlier item";
    EXPECT_FALSE(targets->contains("UTF8_STRING"));
}

TEST_F(X11PasteboardTest, OnlyAnOwnerThatQuitsRaisesTheEmptyClipboardHook)
{
    QSignalSpy emptied(pasteboard.get(), &Pasteboard::becameEmpty);
    QProcess *owner = copyWithXclip(QStringLiteral("UTF8_STRING"), "about to vanish");
    const qint64 before = pasteboard->changeCount();
    owner->kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return emptied.count() == 1; }, 10000));
    EXPECT_GT(pasteboard->changeCount(), before);
    const auto read = snapshot();
    ASSERT_TRUE(read && *read) << "an empty clipboard is a successful read";
    EXPECT_FALSE((*read)->text);
    EXPECT_TRUE((*read)->data.empty());

    // Emptying it on purpose (as password managers do) is respected.
    TestSelectionOwner clearing(testDisplay());
    qint64 count = pasteboard->changeCount();
    clearing.own({{"UTF8_STRING", "password"}});
    ASSERT_TRUE(waitForChangeAfter(count));
    count = pasteboard->changeCount();
    clearing.release();
    ASSERT_TRUE(waitForChangeAfter(count));
    EXPECT_EQ(emptied.count(), 1);
}

TEST(X11PasteboardWithoutDisplayTest, StaysInertAndSaysWhy)
{
    DiagnosticsCapture diagnostics;
    X11Pasteboard::Options options;
    options.displayName = QStringLiteral(":65000");
    X11Pasteboard pasteboard(options);
    EXPECT_FALSE(pasteboard.isConnected());
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ No X display, the clipboard is not watched: :65000")), 1);

    QObject context;
    bool delivered = false;
    std::optional<PasteboardSnapshot> read = PasteboardSnapshot{};
    pasteboard.requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> s) {
        delivered = true;
        read = std::move(s);
    });
    EXPECT_FALSE(delivered) << "handlers are never called before requestSnapshot returns";
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered; }, 5000));
    EXPECT_FALSE(read);
    EXPECT_FALSE(pasteboard.writeText(QStringLiteral("nowhere to go")));
    EXPECT_EQ(pasteboard.changeCount(), 0);
}

} // namespace
