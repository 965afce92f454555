#include "platform/wayland/PipeTransfer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <thread>

using namespace snipbrook;
using namespace std::chrono_literals;

namespace {

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
    ~Pipe()
    {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    int take(int end) { return std::exchange(fds[end], -1); } // the transfer closes it
    int fds[2] = {-1, -1};
};

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 random(11);
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

auto farAway() { return std::chrono::steady_clock::now() + 1h; }

} // namespace

TEST(PipeTransferTest, TransfersLargerThanThePipeBufferArriveWhole)
{
    const QByteArray bytes = randomBytes(3 << 20);
    Pipe pipe;
    PipeStatus written = PipeStatus::failed;
    std::thread writer([&, fd = pipe.take(1)] { written = writePipe(fd, bytes, 5s); });
    const PipeRead read = readPipe(pipe.take(0), PipeLimits{5s, 8 << 20}, farAway());
    writer.join();
    EXPECT_EQ(written, PipeStatus::complete);
    ASSERT_EQ(read.status, PipeStatus::complete);
    EXPECT_EQ(read.bytes, bytes);
}

TEST(PipeTransferTest, StalledOrTricklingPeersRunIntoTheirTimeOut)
{
    Pipe silent;
    const PipeRead read = readPipe(silent.take(0), PipeLimits{50ms, 1 << 20}, farAway());
    EXPECT_EQ(read.status, PipeStatus::timedOut);
    EXPECT_TRUE(read.bytes.isEmpty());

    Pipe trickle; // each step is quick, the whole is not
    ASSERT_EQ(::write(trickle.fds[1], "a", 1), 1);
    EXPECT_EQ(readPipe(trickle.take(0), PipeLimits{1h, 1 << 20}, std::chrono::steady_clock::now() + 50ms).status,
              PipeStatus::timedOut);

    Pipe unread;
    EXPECT_EQ(writePipe(unread.take(1), randomBytes(1 << 20), 50ms), PipeStatus::timedOut);
}

TEST(PipeTransferTest, OversizedRepresentationIsRefusedAndReleasesItsWriterWithoutSigpipe)
{
    // A default SIGPIPE would kill the test program here.
    Pipe pipe;
    PipeStatus written = PipeStatus::complete;
    std::thread writer([&, fd = pipe.take(1)] { written = writePipe(fd, randomBytes(1 << 20), 5s); });
    const PipeRead read = readPipe(pipe.take(0), PipeLimits{5s, 100 * 1024}, farAway());
    writer.join();
    EXPECT_EQ(read.status, PipeStatus::tooLarge);
    EXPECT_TRUE(read.bytes.isEmpty());
    EXPECT_EQ(written, PipeStatus::failed);
}

TEST(PipeTransferTest, CancellingEndsTransfersThatWouldWaitAnHour)
{
    TransferCancel cancel;
    Pipe reading, writing;
    PipeRead read;
    PipeStatus written = PipeStatus::complete;
    std::thread reader([&, fd = reading.take(0)] { read = readPipe(fd, PipeLimits{1h, 1 << 20}, farAway(), &cancel); });
    std::thread writer([&, fd = writing.take(1)] { written = writePipe(fd, randomBytes(1 << 20), 1h, &cancel); });
    cancel.cancel();
    reader.join();
    writer.join();
    EXPECT_EQ(read.status, PipeStatus::cancelled);
    EXPECT_EQ(written, PipeStatus::cancelled);
}
