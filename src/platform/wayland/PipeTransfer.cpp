#include "PipeTransfer.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace snipbrook {
namespace {

using Clock = std::chrono::steady_clock;
constexpr qsizetype chunkBytes = 64 * 1024;

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

enum class Wait { ready, timedOut, cancelled, failed };

// Waits until `fd` is ready for `events` (or hung up), the deadline passes or the transfer is
// cancelled.
Wait waitFor(int fd, short events, Clock::time_point deadline, const TransferCancel *cancel)
{
    for (;;) {
        if (cancel && cancel->isCancelled())
            return Wait::cancelled;
        const int timeout = millisecondsUntil(deadline);
        pollfd waits[2] = {{fd, events, 0}, {cancel ? cancel->fileDescriptor() : -1, POLLIN, 0}};
        const int ready = ::poll(waits, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Wait::failed;
        if (waits[1].revents & POLLIN)
            return Wait::cancelled;
        if (waits[0].revents)
            return Wait::ready;
        if (timeout == 0 || Clock::now() >= deadline)
            return Wait::timedOut;
    }
}

// Keeps a write to a closed pipe from raising SIGPIPE in this process: the signal is blocked for
// this thread while it writes, and one it raised is taken off again before the mask returns.
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~SigpipeGuard()
    {
        if (m_raised && !m_wasPending) {
            const timespec now{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeGuard(const SigpipeGuard &) = delete;
    SigpipeGuard &operator=(const SigpipeGuard &) = delete;

    void raised() { m_raised = true; }

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
    bool m_raised = false;
};

} // namespace

TransferCancel::TransferCancel() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TransferCancel::~TransferCancel()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TransferCancel::cancel()
{
    if (m_fd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

bool TransferCancel::isCancelled() const
{
    if (m_fd < 0)
        return false;
    pollfd wait{m_fd, POLLIN, 0};
    return ::poll(&wait, 1, 0) > 0 && (wait.revents & POLLIN);
}

PipeRead readPipe(int fd, const PipeLimits &limits, Clock::time_point deadline, const TransferCancel *cancel)
{
    PipeRead result;
    if (fd < 0)
        return result;
    if (!setNonBlocking(fd)) {
        ::close(fd);
        return result;
    }
    QByteArray bytes;
    for (;;) {
        switch (waitFor(fd, POLLIN, std::min(deadline, Clock::now() + limits.stepTimeout), cancel)) {
        case Wait::ready:
            break;
        case Wait::timedOut:
            result.status = PipeStatus::timedOut;
            ::close(fd);
            return result;
        case Wait::cancelled:
            result.status = PipeStatus::cancelled;
            ::close(fd);
            return result;
        case Wait::failed:
            ::close(fd);
            return result;
        }
        const qsizetype start = bytes.size();
        bytes.resize(start + chunkBytes);
        const ssize_t got = ::read(fd, bytes.data() + start, chunkBytes);
        bytes.resize(start + std::max<ssize_t>(got, 0));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            ::close(fd);
            return result;
        }
        if (bytes.size() > limits.maxBytes) {
            // Closing the pipe tells the writer to stop.
            result.status = PipeStatus::tooLarge;
            ::close(fd);
            return result;
        }
    }
    ::close(fd);
    result.status = PipeStatus::complete;
    result.bytes = std::move(bytes);
    return result;
}

PipeStatus writePipe(int fd, const QByteArray &bytes, std::chrono::milliseconds stepTimeout,
                     const TransferCancel *cancel)
{
    if (fd < 0)
        return PipeStatus::failed;
    if (!setNonBlocking(fd)) {
        ::close(fd);
        return PipeStatus::failed;
    }
    SigpipeGuard guard;
    qsizetype offset = 0;
    PipeStatus status = PipeStatus::complete;
    while (offset < bytes.size()) {
        const Wait wait = waitFor(fd, POLLOUT, Clock::now() + stepTimeout, cancel);
        if (wait != Wait::ready) {
            status = wait == Wait::timedOut ? PipeStatus::timedOut
                     : wait == Wait::cancelled ? PipeStatus::cancelled
                                               : PipeStatus::failed;
            break;
        }
        const ssize_t sent = ::write(fd, bytes.constData() + offset,
                                     static_cast<size_t>(std::min(bytes.size() - offset, chunkBytes)));
        if (sent < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            if (errno == EPIPE)
                guard.raised();
            status = PipeStatus::failed;
            break;
        }
        offset += sent;
    }
    ::close(fd);
    return status;
}

} // namespace snipbrook
