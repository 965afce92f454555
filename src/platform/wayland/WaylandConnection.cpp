#include "WaylandConnection.h"

#include "model/Diagnostics.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace snipbrook {

namespace {

wl_display *connectTo(const QString &socketName, QString &failure)
{
    const QByteArray name = socketName.toLocal8Bit();
    wl_display *display = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (!display) {
        const QString shown =
            socketName.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0")) : socketName;
        failure = QStringLiteral("cannot connect to the Wayland display ") + shown + QStringLiteral(": ") +
                  QString::fromLocal8Bit(std::strerror(errno));
    }
    return display;
}

} // namespace

std::optional<QList<WaylandGlobal>> WaylandConnection::probeGlobals(const QString &socketName, QString *failure)
{
    QString reason;
    wl_display *display = connectTo(socketName, reason);
    if (!display) {
        if (failure)
            *failure = reason;
        return std::nullopt;
    }
    QList<WaylandGlobal> globals;
    static const wl_registry_listener listener = {
        [](void *data, wl_registry *, quint32 name, const char *interface, quint32 version) {
            static_cast<QList<WaylandGlobal> *>(data)->append({name, QString::fromLatin1(interface), version});
        },
        [](void *, wl_registry *, quint32) {}};
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    const bool answered = wl_display_roundtrip(display) >= 0;
    if (!answered && failure)
        *failure = QStringLiteral("the Wayland display did not answer: ") + QString::fromLocal8Bit(std::strerror(errno));
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered ? std::optional(globals) : std::nullopt;
}

WaylandConnection::WaylandConnection(const QString &socketName, QObject *parent) : QObject(parent)
{
    m_display = connectTo(socketName, m_failure);
    if (!m_display)
        return;
    static const wl_registry_listener listener = {&WaylandConnection::onGlobal, &WaylandConnection::onGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    // The globals are announced in answer to the registry request; the seat's bind is answered
    // by the second round trip.
    if (!roundtrip())
        return;
    if (const std::optional<WaylandGlobal> seat = global(QString::fromLatin1(wl_seat_interface.name)))
        m_seat = static_cast<wl_seat *>(bind(&wl_seat_interface, std::min<quint32>(seat->version, 5)));
    if (!roundtrip())
        return;

    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::flush);
}

WaylandConnection::~WaylandConnection()
{
    if (!m_display)
        return;
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

bool WaylandConnection::isValid() const
{
    return m_display && m_failure.isEmpty() && wl_display_get_error(m_display) == 0;
}

std::optional<WaylandGlobal> WaylandConnection::global(const QString &interface) const
{
    const auto it = std::find_if(m_globals.begin(), m_globals.end(),
                                 [&](const WaylandGlobal &global) { return global.interface == interface; });
    return it == m_globals.end() ? std::nullopt : std::optional(*it);
}

void *WaylandConnection::bind(const wl_interface *interface, quint32 maxVersion) const
{
    const std::optional<WaylandGlobal> found = global(QString::fromLatin1(interface->name));
    if (!found || !m_registry)
        return nullptr;
    return wl_registry_bind(m_registry, found->name, interface, std::min(found->version, maxVersion));
}

void WaylandConnection::flush()
{
    if (!isValid())
        return;
    // A full socket buffer (EAGAIN) is flushed again before the next sleep.
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        fail(QStringLiteral("the connection to the compositor broke: ") + QString::fromLocal8Bit(std::strerror(errno)));
}

bool WaylandConnection::roundtrip()
{
    if (!isValid())
        return false;
    if (wl_display_roundtrip(m_display) < 0) {
        fail(QStringLiteral("the connection to the compositor broke: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void WaylandConnection::readEvents()
{
    if (!isValid())
        return;
    // The notifier said the socket is readable, so reading does not block.
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        fail(QStringLiteral("the connection to the compositor broke: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    flush();
}

void WaylandConnection::fail(const QString &reason)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = reason;
    if (m_notifier)
        m_notifier->setEnabled(false);
    diag(QStringLiteral("❌ Wayland: ") + reason);
    emit disconnected();
}

void WaylandConnection::onGlobal(void *data, wl_registry *, quint32 name, const char *interface, quint32 version)
{
    static_cast<WaylandConnection *>(data)->m_globals.append({name, QString::fromLatin1(interface), version});
}

void WaylandConnection::onGlobalRemove(void *data, wl_registry *, quint32 name)
{
    auto &globals = static_cast<WaylandConnection *>(data)->m_globals;
    globals.removeIf([name](const WaylandGlobal &global) { return global.name == name; });
}

} // namespace snipbrook
