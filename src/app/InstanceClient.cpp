#include "InstanceClient.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace snipbrook {
namespace {

class Socket {
public:
    Socket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    pollfd entry{fd, events, 0};
    for (;;) {
        const int left = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
        const int ready = ::poll(&entry, 1, left);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// Sends the bytes, unless the instance answers (or hangs up) first: it refuses a request it will
// not read, such as one over the size limit, before it has all arrived. False when the
// connection failed or the time ran out; the caller then still looks for an answer.
bool writeAll(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        pollfd entry{fd, POLLOUT | POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (entry.revents & (POLLIN | POLLHUP | POLLERR)))
            return false;
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        sent += std::max<ssize_t>(n, 0);
    }
    return true;
}

std::optional<QByteArray> readLine(int fd, const QDeadlineTimer &deadline)
{
    QByteArray received;
    char buffer[64 * 1024];
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline))
            return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return received;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        // Only the new bytes are searched: a listing may run to many megabytes.
        const void *end = std::memchr(buffer, '\n', static_cast<size_t>(n));
        received.append(buffer, end ? static_cast<const char *>(end) - buffer : n);
        if (end)
            return received;
    }
}

} // namespace

InstancePaths InstancePaths::inRuntimeDir(const QString &runtimeDir)
{
    return {runtimeDir + QStringLiteral("/snipbrook.lock"), runtimeDir + QStringLiteral("/snipbrook.sock")};
}

std::optional<CliResponse> sendToInstance(const QString &socketPath, const CliRequest &request, int timeoutMs)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));

    Socket socket;
    if (socket.fd() < 0 || ::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    // An instance that answered before the whole request went out has its answer waiting.
    const bool sent = writeAll(socket.fd(), request.toLine(), deadline);
    const auto answer = readLine(socket.fd(), sent ? deadline : QDeadlineTimer(std::min<qint64>(deadline.remainingTime(), 1000)));
    if (!answer)
        return std::nullopt;
    return CliResponse::fromJson(QJsonDocument::fromJson(*answer).object());
}

} // namespace snipbrook
