// The clipboard between real clients of the test compositor: wl-copy and wl-paste (wl-clipboard)
// stand for the other applications. This program stays offscreen and reaches sway only through a
// WaylandConnection of its own, so its leak check covers that connection (see CMakeLists.txt).
#include "WaylandTestEnvironment.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "support/TestImages.h"
#include "support/WaitFor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class SwayPasteboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SWAY();
        connection = std::make_unique<WaylandConnection>(testCompositor().waylandDisplay());
        ASSERT_TRUE(connection->isValid()) << connection->failureReason().toStdString();
        pasteboard = std::make_unique<DataControlPasteboard>(*connection);
        ASSERT_TRUE(pasteboard->isAvailable()) << pasteboard->unavailableReason().toStdString();
    }

    void TearDown() override
    {
        for (auto &owner : owners) {
            owner->kill();
            owner->waitForFinished(5000);
        }
        pasteboard.reset();
        connection.reset();
    }

    // wl-paste run to its end while the event loop turns (we may be the one it reads).
    static QByteArray paste(const QStringList &arguments)
    {
        const auto result = runClient(QStringLiteral("wl-paste"), arguments);
        EXPECT_TRUE(result && result->exitCode == 0) << "wl-paste failed";
        return result ? result->output : QByteArray();
    }

    // Another application copies and keeps serving its copy until it is killed.
    QProcess *copy(const QByteArray &bytes, const QString &type = {})
    {
        const qint64 before = pasteboard->changeCount();
        QStringList arguments{QStringLiteral("--foreground")};
        if (!type.isEmpty())
            arguments << QStringLiteral("--type") << type;
        owners.push_back(clientProcess());
        QProcess *owner = owners.back().get();
        owner->start(QStringLiteral("wl-copy"), arguments);
        EXPECT_TRUE(owner->waitForStarted(5000)) << "wl-copy did not start";
        owner->write(bytes);
        owner->closeWriteChannel();
        EXPECT_TRUE(waitFor([&] { return pasteboard->changeCount() > before; })) << "the copy was not seen";
        return owner;
    }

    std::optional<PasteboardSnapshot> read(DataControlPasteboard &board)
    {
        QObject context;
        bool done = false;
        std::optional<PasteboardSnapshot> result;
        board.requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> snapshot) {
            done = true;
            result = std::move(snapshot);
        });
        EXPECT_TRUE(waitFor([&] { return done; }, 10000)) << "the handler never ran";
        return result;
    }

    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<DataControlPasteboard> pasteboard;
    std::vector<std::unique_ptr<QProcess>> owners;
};

} // namespace

TEST_F(SwayPasteboardTest, CopiesOfOtherApplicationsAreSeenAndReadWithoutFocus)
{
    QSignalSpy changes(pasteboard.get(), &Pasteboard::changed);
    copy(QStringLiteral("Grüße aus Wayland ✓").toUtf8());
    EXPECT_TRUE(waitFor([&] { return changes.count() >= 1; }));
    const auto text = read(*pasteboard);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, QStringLiteral("Grüße aus Wayland ✓"));

    const QByteArray png = pngBytes({6, 6}, Qt::green);
    copy(png, QStringLiteral("image/png"));
    const auto image = read(*pasteboard);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->dataForType(QStringLiteral("image/png")), png);
}

TEST_F(SwayPasteboardTest, OurWritesArePastedByOthersAndOurOwnReadDoesNotWaitOnItself)
{
    const qint64 before = pasteboard->changeCount();
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("from the history ✓")));
    EXPECT_EQ(paste({QStringLiteral("--no-newline")}), QStringLiteral("from the history ✓").toUtf8());
    // The compositor's selection event for our source has come by now: counted once, at the write.
    EXPECT_EQ(pasteboard->changeCount(), before + 1);
    const QByteArray types = paste({QStringLiteral("--list-types")});
    EXPECT_TRUE(types.contains("text/plain;charset=utf-8")) << types.constData();
    EXPECT_TRUE(types.contains("UTF8_STRING")) << types.constData();
    const qint64 count = pasteboard->changeCount();
    const auto own = read(*pasteboard);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->text, QStringLiteral("from the history ✓"));
    EXPECT_EQ(pasteboard->changeCount(), count);

    ASSERT_TRUE(pasteboard->writePrimaryText(QStringLiteral("middle")));
    EXPECT_EQ(paste({QStringLiteral("--primary"), QStringLiteral("--no-newline")}), QByteArray("middle"));
}

TEST_F(SwayPasteboardTest, SecretFromAnotherClientIsMarkedAndNotRead)
{
    // A second data-control client stands for a password manager.
    WaylandConnection managerConnection(testCompositor().waylandDisplay());
    DataControlPasteboard manager(managerConnection);
    const qint64 before = pasteboard->changeCount();
    manager.clearContents();
    manager.writeData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
    manager.writeText(QStringLiteral("hunter2"));
    ASSERT_TRUE(waitFor([&] { return pasteboard->changeCount() >= before + 3; }));
    const auto secret = read(*pasteboard);
    ASSERT_TRUE(secret);
    EXPECT_TRUE(secret->isSecret);
    EXPECT_FALSE(secret->text);
}

TEST_F(SwayPasteboardTest, OwnerQuittingIsReportedSoTheLastCopyCanBeOfferedAgain)
{
    QSignalSpy emptied(pasteboard.get(), &Pasteboard::becameEmpty);
    QProcess *owner = copy("short-lived");
    owner->kill();
    ASSERT_TRUE(waitFor([&] { return emptied.count() == 1; }));
    // The history's answer: our own write, which others paste and which is no new change.
    ASSERT_TRUE(pasteboard->writeText(QStringLiteral("short-lived")));
    EXPECT_EQ(paste({QStringLiteral("--no-newline")}), QByteArray("short-lived"));
    EXPECT_EQ(emptied.count(), 1);
}
