#include "InstanceChannel.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace snipbrook {
namespace {

constexpr qint64 maxRequestBytes = 64 * 1024 * 1024;

QByteArray line(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

InstanceLock::InstanceLock(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_openError = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

InstanceServer::InstanceServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

bool InstanceServer::listen(const QString &socketPath)
{
    // Only the holder of the instance lock calls this, so an existing socket is stale.
    QLocalServer::removeServer(socketPath);
    return m_server.listen(socketPath);
}

void InstanceServer::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > maxRequestBytes)
                    socket->abort();
                return;
            }
            const QByteArray requestLine = socket->readLine();
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            QPointer<QLocalSocket> guard(socket);
            const Reply reply = [guard](const CliResponse &response) {
                if (!guard)
                    return;
                guard->write(line(response.toJson()));
                guard->flush(); // the instance may quit right after answering
                guard->disconnectFromServer();
            };
            const auto request = CliRequest::fromJson(QJsonDocument::fromJson(requestLine).object());
            if (!request) {
                reply(CliResponse{exitBadUsage, {}, QStringLiteral("malformed request")});
                return;
            }
            m_handler(*request, reply);
        });
    }
}

} // namespace snipbrook
