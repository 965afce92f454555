#pragma once

#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QObject>

#include <optional>

namespace snipbrook {

// Desktop notifications through org.freedesktop.Notifications on the session bus. Each call is
// asynchronous with a time-out, so a missing or hung notification service never blocks the
// caller; such a service costs one log line for the whole run, not one per notification, and
// at most a few calls wait on it at a time (more are dropped). Main thread only.
class DBusNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    struct Options {
        // None: the session bus.
        std::optional<QDBusConnection> bus;
        int timeoutMs = 3000;
        int maxWaiting = 4;
    };

    explicit DBusNotifier(QObject *parent = nullptr);
    explicit DBusNotifier(Options options, QObject *parent = nullptr);

    void post(const QString &title, const QString &body) override;
    // Calls sent and not yet answered.
    int waiting() const { return m_waiting; }

private:
    void failed(const QString &reason);

    QDBusConnection m_bus;
    const int m_timeoutMs;
    const int m_maxWaiting;
    int m_waiting = 0;
    bool m_reportedFailure = false;
};

} // namespace snipbrook
