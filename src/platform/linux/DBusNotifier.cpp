#include "DBusNotifier.h"

#include "model/Diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

namespace snipbrook {

DBusNotifier::DBusNotifier(QObject *parent) : DBusNotifier(Options{}, parent) {}

DBusNotifier::DBusNotifier(Options options, QObject *parent)
    : QObject(parent), m_bus(options.bus ? *options.bus : QDBusConnection::sessionBus()), m_timeoutMs(options.timeoutMs),
      m_maxWaiting(options.maxWaiting)
{
}

void DBusNotifier::failed(const QString &reason)
{
    // A desktop without a notification service stays without one: say it once.
    if (m_reportedFailure)
        return;
    m_reportedFailure = true;
    diag(QStringLiteral("⚠️ Notifications are not shown: ") + reason);
}

void DBusNotifier::post(const QString &title, const QString &body)
{
    if (!m_bus.isConnected()) {
        failed(QStringLiteral("no session bus"));
        return;
    }
    if (m_waiting >= m_maxWaiting) {
        failed(QStringLiteral("the notification service does not answer"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.snipbrook.app")},
                            {QStringLiteral("suppress-sound"), true}};
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's)
    call << QStringLiteral("Snipbrook") << 0u << QString() << title << body << QStringList() << hints << -1;
    ++m_waiting;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        --m_waiting;
        if (answered->isError())
            failed(answered->error().name() + QStringLiteral(": ") + answered->error().message());
        answered->deleteLater();
    });
}

} // namespace snipbrook
