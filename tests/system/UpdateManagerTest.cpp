#include "system/ReleaseFeed.h"
#include "system/UpdateManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakePreferences.h"
#include "support/WaitFor.h"

#include <QHash>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// A canned HTTP server on 127.0.0.1: each path answers with fixed bytes, then closes the
// connection unless the answer is meant to stall.
class FeedServer {
public:
    struct Answer {
        Answer(QByteArray bytes = {}, bool stall = false, QByteArray trickle = {})
            : bytes(std::move(bytes)), stall(stall), trickle(std::move(trickle)) {}
        QByteArray bytes;
        bool stall;
        // Sent one byte at a time, slowly, after `bytes`; implies stall.
        QByteArray trickle;
    };

    FeedServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                serve(socket);
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path));
    }

    static QByteArray ok(const QByteArray &body, bool withLength = true)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
        if (withLength)
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        return head + "\r\n" + body;
    }
    static QByteArray redirect(const QByteArray &location)
    {
        return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }

    QHash<QString, Answer> answers;
    int requests = 0;

private:
    void serve(QTcpSocket *socket)
    {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QList<QByteArray> requestLine = socket->readLine().split(' ');
            ++requests;
            const Answer answer = answers.value(QString::fromLatin1(requestLine.value(1)),
                                                {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"});
            socket->write(answer.bytes);
            if (!answer.trickle.isEmpty()) {
                auto *timer = new QTimer(socket);
                QObject::connect(timer, &QTimer::timeout, socket, [socket, rest = answer.trickle]() mutable {
                    socket->write(rest.left(1));
                    rest.remove(0, 1);
                });
                timer->start(20);
            } else if (!answer.stall) {
                socket->disconnectFromHost();
            }
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer server;
};

QByteArray release(const QByteArray &version, int build, const QByteArray &notes = "notes",
                   const QByteArray &url = "https://downloads.example.org/snipbrook")
{
    return R"({"version": ")" + version + R"(", "buildNumber": )" + QByteArray::number(build)
        + R"(, "downloadURL": ")" + url + R"(", "releaseNotes": ")" + notes + R"(", "isRequired": false})";
}

QByteArray feed(const QList<QByteArray> &releases)
{
    return R"({"releases": [)" + releases.join(',') + "]}";
}

class UpdateManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    std::unique_ptr<UpdateManager> makeManager(const QUrl &url)
    {
        UpdateManager::Options options;
        options.releasesUrl = url;
        options.currentVersion = QStringLiteral("1.2");
        options.currentBuild = 7;
        options.openUrl = [this](const QUrl &opened) {
            this->opened.append(opened);
            return true;
        };
        options.now = [this] { return now; };
        options.transferTimeoutMs = 300;
        return std::make_unique<UpdateManager>(preferences, options);
    }

    // Serves `bytes` as the feed and runs a forced check to its end.
    void check(UpdateManager &manager, const FeedServer::Answer &answer)
    {
        server.answers[QStringLiteral("/releases.json")] = answer;
        manager.checkForUpdates(true);
        ASSERT_TRUE(manager.isChecking());
        ASSERT_TRUE(waitFor([&] { return !manager.isChecking(); }));
    }

    FeedServer server;
    FakePreferences preferences;
    QDateTime now{QDate(2026, 3, 4), QTime(9, 0)};
    QList<QUrl> opened;
    DiagnosticsCapture log;
};

} // namespace

TEST(IsNewerVersionTest, ComparesNumbersPieceByPieceThenBuilds)
{
    EXPECT_TRUE(isNewerVersion(QStringLiteral("1.2"), 8, QStringLiteral("1.2"), 7));
    EXPECT_FALSE(isNewerVersion(QStringLiteral("1.2.0"), 7, QStringLiteral("1.2"), 7));
    EXPECT_FALSE(isNewerVersion(QStringLiteral("1.9"), 1, QStringLiteral("1.10"), 1));
    EXPECT_TRUE(isNewerVersion(QStringLiteral("1.10"), 1, QStringLiteral("1.9"), 1));
    // A piece that is not a number is dropped: 1.2b.3 reads as 1.3.
    EXPECT_FALSE(isNewerVersion(QStringLiteral("1.2b.3"), 1, QStringLiteral("1.3"), 1));
    EXPECT_TRUE(isNewerVersion(QStringLiteral("1.2b.3"), 2, QStringLiteral("1.3"), 1));
    EXPECT_FALSE(isNewerVersion(QStringLiteral("..1..02"), 1, QStringLiteral("1.2"), 1));
    // Numbers beyond any integer type compare exactly.
    EXPECT_TRUE(isNewerVersion(QStringLiteral("1.99999999999999999999999999"), 1, QStringLiteral("1.99999999999999999999999998"), 1));
    EXPECT_FALSE(isNewerVersion(QStringLiteral("0001.5"), 1, QStringLiteral("1.000005"), 1));
    EXPECT_TRUE(isNewerVersion(QStringLiteral("0"), 1, QStringLiteral("-1"), 1));
}

TEST(ReleaseFeedTest, OnlyHttpsOrThisComputerIsAcceptable)
{
    for (const char *good : {"https://example.org/releases.json", "http://127.0.0.1:8080/r", "http://127.9.0.1/r",
                             "http://[::1]/r", "http://LOCALHOST/r"})
        EXPECT_TRUE(isAcceptableUpdateUrl(QUrl(QString::fromLatin1(good)))) << good;
    for (const char *bad : {"http://example.org/releases.json", "http://10.0.0.1/r", "http://127.0.0.1.example.org/r",
                            "ftp://example.org/r", "file:///etc/passwd", "https:///nohost", "javascript:alert(1)"})
        EXPECT_FALSE(isAcceptableUpdateUrl(QUrl(QString::fromLatin1(bad)))) << bad;
}

TEST(ReleaseFeedTest, ThousandsOfEntriesPickTheNewestEarliest)
{
    QList<QByteArray> releases;
    for (int i = 0; i < 5000; ++i)
        releases.append(release("1." + QByteArray::number(i % 1000), 1, QByteArray::number(i)));
    QString error;
    const auto decoded = decodeReleasesFile(feed(releases), &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(newestRelease(*decoded).releaseNotes, QStringLiteral("999"));
}

TEST_F(UpdateManagerTest, TheNewestReleaseDecidesWhetherAnUpdateIsAvailable)
{
    auto manager = makeManager(server.url(QStringLiteral("/releases.json")));
    EXPECT_EQ(manager->currentVersionText(), QStringLiteral("1.2 (7)"));

    check(*manager, FeedServer::ok(feed({release("1.3", 1, "first"), release("1.3", 5, "second"), release("1.2", 9)})));
    EXPECT_TRUE(manager->updateAvailable());
    ASSERT_TRUE(manager->latestRelease());
    EXPECT_EQ(manager->latestRelease()->releaseNotes, QStringLiteral("second"));

    // Equal version and build: not newer, and the earlier outcome is withdrawn.
    check(*manager, FeedServer::ok(feed({release("1.2.0", 7)})));
    EXPECT_FALSE(manager->updateAvailable());
    EXPECT_FALSE(manager->latestRelease());

    // The optional keys are carried, and the system requirement does not hold the update back.
    check(*manager, FeedServer::ok(R"({"releases": [{"version": "1.2", "buildNumber": 8, "downloadURL": "https://d.example/x",
        "releaseNotes": "", "isRequired": true, "publishedDate": "2026-01-01", "minimumOSVersion": "99.0"}]})"));
    ASSERT_TRUE(manager->updateAvailable());
    EXPECT_EQ(manager->latestRelease()->minimumOSVersion, QStringLiteral("99.0"));
    EXPECT_TRUE(manager->latestRelease()->isRequired);
    EXPECT_FALSE(manager->latestRelease()->publishedDate->isEmpty());

    // A redirect that stays on this computer is followed.
    server.answers[QStringLiteral("/moved.json")] = {FeedServer::ok(feed({release("2.0", 1)}))};
    check(*manager, FeedServer::redirect(server.url(QStringLiteral("/moved.json")).toEncoded()));
    EXPECT_EQ(manager->latestRelease()->version, QStringLiteral("2.0"));
}

TEST_F(UpdateManagerTest, AFeedThatCannotBeTrustedOrReadFailsAndKeepsThePreviousOutcome)
{
    const QByteArray padding(1024 * 1024, ' ');
    const QByteArray newer = feed({release("9.0", 1)});
    struct Case {
        const char *name;
        FeedServer::Answer answer;
        const char *reason;
    };
    const QList<Case> cases = {
        {"not JSON", {FeedServer::ok("<html>hello</html>")}, "the feed is not valid: not JSON"},
        {"truncated", {FeedServer::ok(newer.left(newer.size() - 3))}, "the feed is not valid: not JSON"},
        {"not an object", {FeedServer::ok("[1, 2]")}, "the feed is not valid: not a JSON object"},
        {"releases not an array", {FeedServer::ok(R"({"releases": {}})")}, "the feed is not valid: \"releases\" is not"},
        {"build number as text", {FeedServer::ok(feed({release("9.0", 1).replace("1,", "\"1\",")}))}, "the feed is not valid: release 0: \"buildNumber\""},
        {"build number too large", {FeedServer::ok(feed({release("9.0", 1).replace("1,", "1e30,")}))}, "the feed is not valid: release 0: \"buildNumber\""},
        {"build number not whole", {FeedServer::ok(feed({release("9.0", 1).replace("1,", "1.5,")}))}, "the feed is not valid: release 0: \"buildNumber\""},
        {"one entry without notes", {FeedServer::ok(feed({release("9.0", 1), release("9.1", 1).replace(R"("releaseNotes": "notes", )", "")}))},
         "the feed is not valid: release 1: \"releaseNotes\" missing"},
        {"optional key of the wrong type", {FeedServer::ok(feed({release("9.0", 1).replace("false}", R"(false, "publishedDate": 5})")}))},
         "the feed is not valid: release 0: \"publishedDate\""},
        {"server error", {"HTTP/1.1 500 Oops\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"}, "Error transferring"},
        {"over 1 MiB, announced", {FeedServer::ok(newer + padding)}, "the feed is larger than 1 MiB"},
        {"over 1 MiB, unannounced", {FeedServer::ok(newer + padding, false)}, "the feed is larger than 1 MiB"},
        {"redirect to plain http elsewhere", {FeedServer::redirect("http://feed.example.invalid/releases.json")},
         "redirected to an address that is not HTTPS: http://feed.example.invalid/releases.json"},
        {"never finishes", {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n{\"releases\": [", true}, "no answer within 0.3 s"},
        {"trickles forever", {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n", true, QByteArray(4999, ' ') + '{'}, "no answer within 0.3 s"},
    };
    auto manager = makeManager(server.url(QStringLiteral("/releases.json")));
    check(*manager, FeedServer::ok(feed({release("1.3", 1)})));
    ASSERT_TRUE(manager->updateAvailable());
    const ReleaseInfo previous = *manager->latestRelease();

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        now = now.addSecs(60);
        check(*manager, c.answer);
        EXPECT_TRUE(manager->updateAvailable());
        EXPECT_EQ(manager->latestRelease(), previous);
        EXPECT_EQ(log.count(QStringLiteral("❌ Update check failed: ") + QString::fromUtf8(c.reason)), 1)
            << log.lines().join(u'\n').toStdString();
        EXPECT_EQ(manager->lastCheckDate(), now) << "a failed check still counts as a check";
    }
}

TEST_F(UpdateManagerTest, AFailedCheckCountsAsTodaysButAForcedOneStillRuns)
{
    server.answers[QStringLiteral("/releases.json")] = {"HTTP/1.1 503 Busy\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
    auto manager = makeManager(server.url(QStringLiteral("/releases.json")));
    EXPECT_FALSE(manager->hasCheckedToday());
    manager->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return !manager->isChecking(); }));
    EXPECT_EQ(server.requests, 1);
    EXPECT_TRUE(manager->hasCheckedToday());
    EXPECT_EQ(preferences.date(QStringLiteral("lastUpdateCheck")), now);

    // Later that day, and after a restart that reads the stored time: no automatic check.
    now = now.addSecs(8 * 3600);
    manager = makeManager(server.url(QStringLiteral("/releases.json")));
    manager->checkForUpdates(false);
    EXPECT_FALSE(manager->isChecking());
    manager->checkForUpdates(true);
    ASSERT_TRUE(waitFor([&] { return !manager->isChecking(); }));
    EXPECT_EQ(server.requests, 2);

    now = now.addDays(1);
    manager->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return !manager->isChecking(); }));
    EXPECT_EQ(server.requests, 3);
}

TEST_F(UpdateManagerTest, WithoutATrustedFeedAddressNothingGoesToTheNetwork)
{
    auto unconfigured = makeManager(QUrl());
    EXPECT_FALSE(unconfigured->isConfigured());
    unconfigured->checkForUpdates(true);
    EXPECT_FALSE(unconfigured->isChecking());
    EXPECT_FALSE(unconfigured->lastCheckDate());
    EXPECT_TRUE(log.contains(QStringLiteral("ℹ️ Update checks are not set up for this build")));

    // Plain http to another computer is refused before any request, and counts as the check.
    auto plain = makeManager(QUrl(QStringLiteral("http://feed.example.invalid/releases.json")));
    EXPECT_TRUE(plain->isConfigured());
    plain->checkForUpdates(true);
    EXPECT_FALSE(plain->isChecking());
    EXPECT_TRUE(plain->hasCheckedToday());
    EXPECT_EQ(log.count(QStringLiteral("❌ Update check failed: the feed address is not HTTPS")), 1);

    qputenv("SNIPBROOK_RELEASES_URL", "https://feed.example.org/releases.json");
    EXPECT_EQ(UpdateManager::configuredReleasesUrl(), QUrl(QStringLiteral("https://feed.example.org/releases.json")));
    qunsetenv("SNIPBROOK_RELEASES_URL");
}

TEST_F(UpdateManagerTest, OnlyAnHttpsDownloadAddressIsOpened)
{
    auto manager = makeManager(server.url(QStringLiteral("/releases.json")));
    manager->openDownloadPage();
    EXPECT_TRUE(opened.isEmpty());

    check(*manager, FeedServer::ok(feed({release("2.0", 1, "", "http://downloads.example.org/fake")})));
    ASSERT_TRUE(manager->updateAvailable());
    manager->openDownloadPage();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("❌ Refused to open the download address")), 1);

    check(*manager, FeedServer::ok(feed({release("2.0", 1, "", "https://downloads.example.org/snipbrook")})));
    manager->openDownloadPage();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://downloads.example.org/snipbrook"))});
}
