#pragma once

#include <QByteArray>

#include <chrono>

namespace snipbrook {

// Ends blocked pipe transfers at once from any thread (the offer they read was replaced, or the
// pasteboard is going away). Once cancelled it stays so.
class TransferCancel {
public:
    TransferCancel();
    ~TransferCancel();
    TransferCancel(const TransferCancel &) = delete;
    TransferCancel &operator=(const TransferCancel &) = delete;

    void cancel();
    bool isCancelled() const;
    // Becomes readable once cancelled; -1 when no event descriptor could be made.
    int fileDescriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

struct PipeLimits {
    // For each wait on the other side (as the X11 reader waits for each answer).
    std::chrono::milliseconds stepTimeout{1000};
    // A representation beyond this is skipped rather than held in memory.
    qsizetype maxBytes = qsizetype(256) << 20;
};

enum class PipeStatus { complete, tooLarge, timedOut, failed, cancelled };

struct PipeRead {
    PipeStatus status = PipeStatus::failed;
    QByteArray bytes; // only when complete
};

// Reads `fd` to its end and closes it. Each wait for data is bounded by the step time-out and the
// whole read by `deadline`; more than the size limit is refused. Blocks the calling thread: run
// it on a pool, never on the main thread.
PipeRead readPipe(int fd, const PipeLimits &limits, std::chrono::steady_clock::time_point deadline,
                  const TransferCancel *cancel = nullptr);

// Writes all of `bytes` to `fd` and closes it, each wait for the reader bounded by the step
// time-out. A reader that went away ends it quietly (EPIPE, no SIGPIPE). Blocks the calling
// thread: run it on a pool.
PipeStatus writePipe(int fd, const QByteArray &bytes, std::chrono::milliseconds stepTimeout,
                     const TransferCancel *cancel = nullptr);

} // namespace snipbrook
