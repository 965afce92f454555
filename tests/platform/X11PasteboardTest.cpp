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

// A snapshot request; `delivered` tells whether the handler has run.
struct PendingSnapshot {
    explicit PendingSnapshot(Pasteboard &board)
    {
        board.requestSnapshot(&context, [this](std::optional<PasteboardSnapshot> s) {
            delivered = true;
            result = std::move(s);
        });
    }
    bool wait(int timeoutMs = 10000) { return QTest::qWaitFor([this] { return delivered; }, timeoutMs); }

    QObject context;
    bool delivered = false;
    std::optional<PasteboardSnapshot> result;
};

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

    // Runs `copy` and waits until the pasteboard has seen the change.
    template <typename Copy>
    void copyAndWait(Copy copy)
    {
        const qint64 before = pasteboard->changeCount();
        copy();
        EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard->changeCount() > before; }, 10000)) << "not seen";
    }

    // Another application copies: xclip owns the clipboard until someone else takes it.
    QProcess *copyWithXclip(const QString &type, const QByteArray &bytes)
    {
        copyAndWait([&] { owners.push_back(startXclipOwner(type, bytes)); });
        EXPECT_TRUE(owners.back()) << "xclip did not start";
        return owners.back().get();
    }

    void ownAndWait(TestSelectionOwner &owner, std::map<QByteArray, QByteArray> representations, int chunk = 0)
    {
        copyAndWait([&] { owner.own(std::move(representations), chunk); });
    }

    // The snapshot read; nothing when the read failed or the handler was not called in time.
    std::optional<PasteboardSnapshot> read()
    {
        PendingSnapshot pending(*pasteboard);
        EXPECT_TRUE(pending.wait()) << "the handler was never called";
        return pending.result;
    }

    std::unique_ptr<X11Pasteboard> pasteboard;
    std::vector<std::unique_ptr<QProcess>> owners;
};

TEST_F(X11PasteboardTest, ReadsTextImagesAndFileListsOfOtherApplications)
{
    struct Copy {
        QString type;
        QByteArray bytes;
        std::optional<QString> text;
        std::optional<QByteArray> png;
        std::optional<QList<QUrl>> urls;
    };
    const QString text = QStringLiteral("Grüße, world ✓ 👋\n");
    const QByteArray png = pngBytes(Qt::red);
    const auto file = [](const char *path) { return QUrl::fromLocalFile(QString::fromUtf8(path)); };
    const std::vector<Copy> copies{
        {QStringLiteral("UTF8_STRING"), text.toUtf8(), text, {}, {}},
        {QStringLiteral("image/png"), png, {}, png, {}},
        {QStringLiteral("text/uri-list"), "file:///tmp/report%202024.pdf\r\n", {}, {},
         QList<QUrl>{file("/tmp/report 2024.pdf")}},
        {QStringLiteral("x-special/gnome-copied-files"), "copy\nfile:///tmp/a.txt\nfile:///tmp/b.txt", {}, {},
         QList<QUrl>{file("/tmp/a.txt"), file("/tmp/b.txt")}},
    };
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    for (const Copy &copy : copies) {
        SCOPED_TRACE(copy.type.toStdString());
        copyWithXclip(copy.type, copy.bytes);
        const auto snapshot = read();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->text, copy.text);
        EXPECT_EQ(snapshot->data.size(), copy.png ? 1u : 0u);
        EXPECT_EQ(snapshot->dataForType(mime::png), copy.png);
        EXPECT_EQ(snapshot->urls, copy.urls);
        EXPECT_FALSE(snapshot->isSecret);
    }
    EXPECT_GE(changes.count(), int(copies.size()));
}

TEST_F(X11PasteboardTest, FetchesEachRepresentationOnceAndLargeOnesIncrementally)
{
    TestSelectionOwner owner(testDisplay());
    ASSERT_TRUE(owner.isValid());
    const QByteArray image = randomBytes(1 << 20);
    ownAndWait(owner,
               {{"image/png", image},
                {"image/jpeg", "not wanted once there is a PNG"},
                {"text/uri-list", "file:///tmp/picture.png\r\n"},
                {"UTF8_STRING", "picture.png"},
                {"text/plain", "picture.png"}},
               64 * 1024);
    const auto snapshot = read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->dataForType(mime::png), image);
    EXPECT_FALSE(snapshot->dataForType(mime::jpeg));
    EXPECT_EQ(snapshot->urls, QList<QUrl>({QUrl(QStringLiteral("file:///tmp/picture.png"))}));
    EXPECT_EQ(snapshot->text, QStringLiteral("picture.png"));
    EXPECT_EQ(owner.requests(), QStringList({QStringLiteral("TARGETS"), QStringLiteral("image/png"),
                                             QStringLiteral("text/uri-list"), QStringLiteral("UTF8_STRING")}));
    EXPECT_EQ(owner.incrementalTransfers(), 1);

    // xclip sends anything beyond its request size incrementally as well.
    const QByteArray large = randomBytes(6 << 20);
    copyWithXclip(QStringLiteral("image/png"), large);
    const auto largeSnapshot = read();
    ASSERT_TRUE(largeSnapshot);
    EXPECT_EQ(largeSnapshot->dataForType(mime::png), large);
}

TEST_F(X11PasteboardTest, SecretContentIsFlaggedAndNeverFetched)
{
    TestSelectionOwner owner(testDisplay());
    ASSERT_TRUE(owner.isValid());
    const QByteArray hint = "x-kde-passwordManagerHint";
    for (const auto &[hintTarget, value, secret] : {std::tuple{hint, QByteArray("secret"), true},
                                                     std::tuple{"text/" + hint, QByteArray("secret"), true},
                                                     std::tuple{hint, QByteArray("public"), false}}) {
        SCOPED_TRACE(hintTarget.toStdString() + " " + value.toStdString());
        ownAndWait(owner, {{"UTF8_STRING", "hunter2"}, {hintTarget, value}});
        const auto snapshot = read();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->isSecret, secret);
        EXPECT_EQ(snapshot->text, secret ? std::nullopt : std::optional(QStringLiteral("hunter2")));
        EXPECT_EQ(owner.requests().contains(QStringLiteral("UTF8_STRING")), !secret);
    }
}

TEST_F(X11PasteboardTest, HungOwnerNeitherBlocksTheMainThreadNorDelaysTheNextCopy)
{
    DiagnosticsCapture diagnostics;
    // A time-out long enough that a blocked main thread could not hide in scheduling noise.
    pasteboard = makePasteboard(2s);
    QProcess *hung = copyWithXclip(QStringLiteral("UTF8_STRING"), "never delivered");
    ::kill(static_cast<pid_t>(hung->processId()), SIGSTOP);

    // The event loop must keep turning while the read waits on the stopped owner.
    QElapsedTimer sinceTick, elapsed;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(5);
    elapsed.start();
    PendingSnapshot timedOut(*pasteboard);
    ASSERT_TRUE(timedOut.wait()) << "the handler was never called";
    ticker.stop();
    EXPECT_FALSE(timedOut.result) << "a hung owner gives nothing";
    EXPECT_GE(elapsed.elapsed(), 1900);
    EXPECT_LT(elapsed.elapsed(), 6000);
    EXPECT_LT(longestGap, 1000) << "the main thread was blocked";
    EXPECT_EQ(diagnostics.count(QStringLiteral("⚠️ Clipboard owner did not answer in time: ")), 1);

    // With a long time-out, only the next copy can end a read stuck on the hung owner early.
    pasteboard = makePasteboard(30s);
    PendingSnapshot stuck(*pasteboard);
    elapsed.restart();
    copyWithXclip(QStringLiteral("UTF8_STRING"), "the next copy");
    ASSERT_TRUE(stuck.wait());
    EXPECT_FALSE(stuck.result);
    EXPECT_LT(elapsed.elapsed(), 5000);
    const auto next = read();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->text, QStringLiteral("the next copy"));
}

TEST_F(X11PasteboardTest, OwnWritesAreServedForEachTypeAndCountedOnce)
{
    DiagnosticsCapture diagnostics;
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
    const auto own = read();
    ASSERT_TRUE(own);
    EXPECT_EQ(own->text, text);
    EXPECT_EQ(own->dataForType(mime::png), png);

    // The server reports our ownership changes too; they were counted when written. Events
    // arrive in order, so once another application's copy is seen, ours have been as well.
    copyWithXclip(QStringLiteral("UTF8_STRING"), "someone else");
    EXPECT_EQ(pasteboard->changeCount(), before + 3);

    // Colours go out as four 16-bit components.
    pasteboard->clearContents();
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("#ff8000")));
    const quint16 orange[4] = {0xffff, 0x8080, 0, 0xffff};
    ASSERT_TRUE(pasteboard->writeData(mime::color, QByteArray(reinterpret_cast<const char *>(orange), 8)));
    const auto color = xclipRead(mime::color);
    ASSERT_TRUE(color && color->size() == 8);
    quint16 c[4];
    std::memcpy(c, color->constData(), sizeof c);
    EXPECT_EQ(QColor::fromRgba64(c[0], c[1], c[2], c[3]).name(QColor::HexArgb), QStringLiteral("#ffff8000"));
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
    const auto snapshot = read();
    ASSERT_TRUE(snapshot) << "an empty clipboard is a successful read";
    EXPECT_FALSE(snapshot->text);
    EXPECT_TRUE(snapshot->data.empty());

    // Emptying it on purpose (as password managers do) is respected.
    TestSelectionOwner clearing(testDisplay());
    ownAndWait(clearing, {{"UTF8_STRING", "password"}});
    copyAndWait([&] { clearing.release(); });
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

    PendingSnapshot pending(pasteboard);
    EXPECT_FALSE(pending.delivered) << "handlers are never called before requestSnapshot returns";
    ASSERT_TRUE(pending.wait(5000));
    EXPECT_FALSE(pending.result);
    EXPECT_FALSE(pasteboard.writeText(QStringLiteral("nowhere to go")));
    EXPECT_EQ(pasteboard.changeCount(), 0);
}

} // namespace
