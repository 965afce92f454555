#pragma once

#include "CommandLine.h"
#include "InstanceClient.h"

#include <QLocalServer>
#include <QObject>

#include <functional>

namespace snipbrook {

// Holds the per-user instance lock for the life of the process. The kernel drops the lock when
// the process ends, however it ends, so a crash never leaves a stale lock behind.
class InstanceLock {
public:
    explicit InstanceLock(const QString &path);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    bool isHeld() const { return m_fd >= 0; }
    // Why the lock file could not be opened; empty when it could (and then another process holds
    // the lock if this one does not).
    const QString &openError() const { return m_openError; }

private:
    int m_fd = -1;
    QString m_openError;
};

// The running instance's end of the command line: one JSON request line in, one JSON response
// line out, per connection.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Reply = std::function<void(const CliResponse &)>;
    using Handler = std::function<void(const CliRequest &, Reply)>;

    InstanceServer(Handler handler, QObject *parent = nullptr);

    // Replaces a socket left by an instance that died, then listens (socket mode 0600).
    bool listen(const QString &socketPath);
    QString errorString() const { return m_server.errorString(); }

private:
    void accept();

    Handler m_handler;
    QLocalServer m_server;
};

} // namespace snipbrook
