#include "app/InstanceChannel.h"
#include "support/WaitFor.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <QTimer>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

// Sends from a worker thread while the main thread's event loop serves the request.
std::optional<CliResponse> roundTrip(const QString &socket, const CliRequest &request)
{
    QFuture<std::optional<CliResponse>> future =
        QtConcurrent::run([=] { return sendToInstance(socket, request, 5000); });
    if (!test::waitFor([&] { return future.isFinished(); }, 10000))
        return std::nullopt;
    return future.result();
}

} // namespace

TEST(InstanceLock, OnlyOneHolderAtATime)
{
    QTemporaryDir dir;
    const InstancePaths paths = InstancePaths::inRuntimeDir(dir.path());
    auto first = std::make_unique<InstanceLock>(paths.lockFile);
    EXPECT_TRUE(first->isHeld());
    EXPECT_FALSE(InstanceLock(paths.lockFile).isHeld());
    first.reset();
    EXPECT_TRUE(InstanceLock(paths.lockFile).isHeld());
}

TEST(InstanceServer, AnswersRequestsAndReplacesAStaleSocket)
{
    QTemporaryDir dir;
    const InstancePaths paths = InstancePaths::inRuntimeDir(dir.path());
    {
        // A socket file left behind by an instance that died.
        QFile stale(paths.socket);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    InstanceServer server([](const CliRequest &request, const InstanceServer::Reply &reply) {
        reply(CliResponse::ok(request.command + ":" + request.args.value("target").toString()));
    });
    ASSERT_TRUE(server.listen(paths.socket)) << server.errorString().toStdString();
    EXPECT_EQ(QFileInfo(paths.socket).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther), 0);

    const auto response = roundTrip(paths.socket, CliRequest{"copy", {{"target", "2"}}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->exitCode, exitDone);
    EXPECT_EQ(response->out, "copy:2");
}

TEST(InstanceServer, AsynchronousRepliesAndMissingInstance)
{
    QTemporaryDir dir;
    const InstancePaths paths = InstancePaths::inRuntimeDir(dir.path());
    EXPECT_FALSE(sendToInstance(paths.socket, CliRequest{"status", {}}, 200));

    InstanceServer server([](const CliRequest &, InstanceServer::Reply reply) {
        QTimer::singleShot(20, [reply] { reply(CliResponse::failed("later")); });
    });
    ASSERT_TRUE(server.listen(paths.socket));
    const auto response = roundTrip(paths.socket, CliRequest{"search", {}});
    ASSERT_TRUE(response);
    EXPECT_EQ(response->exitCode, exitFailed);
    EXPECT_EQ(response->err, "later");
}

// A request over the limit used to be dropped unanswered, which the command line took for "not
// running". It gets a clear answer, and the instance goes on serving.
TEST(InstanceServer, ARequestOverTheLimitIsAnsweredNotDropped)
{
    QTemporaryDir dir;
    const InstancePaths paths = InstancePaths::inRuntimeDir(dir.path());
    int handled = 0;
    InstanceServer server([&handled](const CliRequest &, const InstanceServer::Reply &reply) {
        ++handled;
        reply(CliResponse::ok("fine"));
    });
    ASSERT_TRUE(server.listen(paths.socket));

    const auto refused = roundTrip(paths.socket, CliRequest{"add", {{"text", QString(maxRequestBytes, 'x')}}});
    ASSERT_TRUE(refused) << "answered";
    EXPECT_EQ(refused->exitCode, exitFailed);
    EXPECT_EQ(refused->err, "snipbrook: the request is too large (the limit is 64 MB)");
    EXPECT_EQ(handled, 0);

    const auto next = roundTrip(paths.socket, CliRequest{"status", {}});
    ASSERT_TRUE(next);
    EXPECT_EQ(next->out, "fine");
}
