#include "platform/wayland/OfferReader.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestImages.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace snipbrook;
using namespace snipbrook::test;
using namespace std::chrono_literals;

namespace {

// The application behind an offer: answers each type with its bytes, or never (nothing).
struct Owner {
    ~Owner()
    {
        for (int fd : hung)
            ::close(fd);
    }
    int open(const QString &type)
    {
        asked.append(type);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return -1;
        const auto it = answers.find(type);
        if (it == answers.end() || !it->second) {
            hung.push_back(fds[1]);
            return fds[0];
        }
        [[maybe_unused]] const ssize_t written = ::write(fds[1], it->second->constData(), static_cast<size_t>(it->second->size()));
        ::close(fds[1]);
        return fds[0];
    }
    QStringList types() const
    {
        QStringList list;
        for (const auto &[type, answer] : answers)
            list.append(type);
        return list;
    }

    std::map<QString, std::optional<QByteArray>> answers;
    QStringList asked;
    std::vector<int> hung;
};

class OfferReaderTest : public ::testing::Test {
protected:
    std::optional<PasteboardSnapshot> read(Owner &owner, OfferReader::Limits limits = {})
    {
        OfferReader reader(owner.types(), [&](const QString &type) { return owner.open(type); }, pool, limits);
        bool done = false;
        std::optional<PasteboardSnapshot> result;
        reader.start([&](std::optional<PasteboardSnapshot> snapshot) {
            done = true;
            result = std::move(snapshot);
        });
        EXPECT_TRUE(waitFor([&] { return done; })) << "the read never finished";
        return result;
    }

    QThreadPool pool;
};

} // namespace

TEST_F(OfferReaderTest, AsksForEachWantedRepresentationOnceAndDecodesIt)
{
    // A browser's copied image with its address, offered under many names.
    const QByteArray png = pngBytes({4, 4});
    Owner owner;
    owner.answers = {{QStringLiteral("image/png"), png},
                     {QStringLiteral("image/jpeg"), QByteArray("jpeg")},
                     {QStringLiteral("text/uri-list"), QByteArray("https://example.org/cat.png\r\n")},
                     {QStringLiteral("text/html"), QByteArray("<img>")},
                     {QStringLiteral("text/plain;charset=utf-8"), QByteArray("caf\xc3\xa9 \xe2\x9c\x93")},
                     {QStringLiteral("text/plain"), QByteArray("unused")},
                     {QStringLiteral("UTF8_STRING"), QByteArray("unused")}};
    const auto snapshot = read(owner);
    ASSERT_TRUE(snapshot);
    EXPECT_FALSE(snapshot->isSecret);
    EXPECT_EQ(snapshot->dataForType(QStringLiteral("image/png")), png);
    EXPECT_EQ(snapshot->data.size(), 1u);
    EXPECT_EQ(snapshot->urls, QList<QUrl>{QUrl(QStringLiteral("https://example.org/cat.png"))});
    EXPECT_EQ(snapshot->text, QStringLiteral("café ✓"));
    EXPECT_EQ(owner.asked, QStringList({QStringLiteral("image/png"), QStringLiteral("text/uri-list"),
                                        QStringLiteral("text/plain;charset=utf-8")}));
}

TEST_F(OfferReaderTest, SecretIsNeverAskedForBeyondItsHint)
{
    Owner owner;
    owner.answers = {{QStringLiteral("x-kde-passwordManagerHint"), QByteArray("secret")},
                     {QStringLiteral("text/plain;charset=utf-8"), QByteArray("hunter2")}};
    const auto secret = read(owner);
    ASSERT_TRUE(secret);
    EXPECT_TRUE(secret->isSecret);
    EXPECT_FALSE(secret->text);
    EXPECT_EQ(owner.asked, QStringList{QStringLiteral("x-kde-passwordManagerHint")});

    // Any other hint value is ordinary content.
    Owner open;
    open.answers = {{QStringLiteral("text/x-kde-passwordManagerHint"), QByteArray("public")},
                    {QStringLiteral("text/plain"), QByteArray("visible")}};
    const auto visible = read(open);
    ASSERT_TRUE(visible);
    EXPECT_FALSE(visible->isSecret);
    EXPECT_EQ(visible->text, QStringLiteral("visible"));
}

TEST_F(OfferReaderTest, AnOwnerThatNeverAnswersGivesNothingAfterOneTimeOut)
{
    DiagnosticsCapture log;
    Owner owner;
    owner.answers = {{QStringLiteral("text/plain;charset=utf-8"), std::nullopt},
                     {QStringLiteral("text/plain"), QByteArray("never asked")}};
    OfferReader::Limits limits;
    limits.pipe.stepTimeout = 50ms;
    EXPECT_FALSE(read(owner, limits));
    EXPECT_EQ(owner.asked, QStringList{QStringLiteral("text/plain;charset=utf-8")});
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Clipboard owner did not answer in time: text/plain;charset=utf-8")));
}

TEST_F(OfferReaderTest, OversizedImageIsSkippedAndTheRestStillRead)
{
    DiagnosticsCapture log;
    Owner owner;
    owner.answers = {{QStringLiteral("image/png"), QByteArray(8000, 'p')},
                     {QStringLiteral("image/jpeg"), QByteArray(100, 'j')},
                     {QStringLiteral("text/plain"), QByteArray("caption")}};
    OfferReader::Limits limits;
    limits.pipe.maxBytes = 4000;
    const auto snapshot = read(owner, limits);
    ASSERT_TRUE(snapshot);
    EXPECT_FALSE(snapshot->dataForType(QStringLiteral("image/png")));
    EXPECT_EQ(snapshot->dataForType(QStringLiteral("image/jpeg")), QByteArray(100, 'j'));
    EXPECT_EQ(snapshot->text, QStringLiteral("caption"));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Clipboard representation too large, skipped: image/png")));
}

TEST_F(OfferReaderTest, AbandonedReadEndsAtOnceWithNothing)
{
    Owner owner;
    owner.answers = {{QStringLiteral("text/plain"), std::nullopt}};
    OfferReader::Limits limits;
    limits.pipe.stepTimeout = 1h; // only the abandon can end it
    auto reader = std::make_unique<OfferReader>(owner.types(), [&](const QString &type) { return owner.open(type); },
                                                pool, limits);
    int calls = 0;
    std::optional<PasteboardSnapshot> result = PasteboardSnapshot{};
    reader->start([&](std::optional<PasteboardSnapshot> snapshot) {
        ++calls;
        result = std::move(snapshot);
    });
    ASSERT_TRUE(waitFor([&] { return pool.activeThreadCount() == 1; }));
    reader->abandon();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(result);
    // The pool thread is released too, and the late answer goes nowhere.
    EXPECT_TRUE(pool.waitForDone(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
}
