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

bool writeAll(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(fd, POLLOUT, deadline))
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
    while (!received.contains('\n')) {
        if (!waitFor(fd, POLLIN, deadline))
            return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        received.append(buffer, n);
    }
    return received.left(received.indexOf('\n'));
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
    const QByteArray line = QJsonDocument(request.toJson()).toJson(QJsonDocument::Compact) + '\n';
    if (!writeAll(socket.fd(), line, deadline))
        return std::nullopt;
    const auto answer = readLine(socket.fd(), deadline);
    if (!answer)
        return std::nullopt;
    return CliResponse::fromJson(QJsonDocument::fromJson(*answer).object());
}

} // namespace snipbrook
