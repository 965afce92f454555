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
        QPointer<QLocalSocket> guard(socket);
        const Reply reply = [guard](const CliResponse &response) {
            if (!guard)
                return;
            guard->write(line(response.toJson()));
            guard->flush(); // the instance may quit right after answering
            guard->disconnectFromServer();
        };
        // The request line gathers here; each read searches only its own bytes for the line break.
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, reply, received] {
            const QByteArray chunk = socket->readAll();
            const qsizetype end = chunk.indexOf('\n');
            const qint64 lineSize = received->size() + (end < 0 ? chunk.size() : end + 1);
            if (lineSize > maxRequestBytes) {
                // Answered rather than dropped, or the command line would think nobody runs.
                disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
                received->clear();
                reply(CliResponse::failed(QStringLiteral("snipbrook: the request is too large (the limit is ") +
                                          megabytesText(maxRequestBytes) + QLatin1Char(')')));
                return;
            }
            received->append(end < 0 ? chunk : chunk.left(end));
            if (end < 0)
                return;
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            const auto request = CliRequest::fromJson(QJsonDocument::fromJson(*received).object());
            received->clear();
            if (!request) {
                reply(CliResponse{exitBadUsage, {}, QStringLiteral("malformed request")});
                return;
            }
            m_handler(*request, reply);
        });
    }
}

} // namespace snipbrook
