#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;
class QSocketNotifier;

namespace snipbrook {

// A global the compositor announced: its registry name, interface and highest version.
struct WaylandGlobal {
    quint32 name = 0;
    QString interface;
    quint32 version = 0;
    bool operator==(const WaylandGlobal &) const = default;
};

// One Wayland connection of our own, apart from the toolkit's: the clipboard and the window list
// must be read while none of our windows has focus, which the toolkit's connection cannot. Events
// are dispatched on the main thread as they arrive; requests are flushed before the event loop
// sleeps.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    // The globals a compositor announces, from a short connection of its own that needs no event
    // loop (so it can decide things before the application object exists); nothing, with the
    // reason, when the compositor cannot be reached.
    static std::optional<QList<WaylandGlobal>> probeGlobals(const QString &socketName = {}, QString *failure = nullptr);

    // An empty name means $WAYLAND_DISPLAY (a socket name, or an absolute path).
    explicit WaylandConnection(const QString &socketName = {}, QObject *parent = nullptr);
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    // Connected, and the connection has not failed since.
    bool isValid() const;
    // Why the connection could not be made or broke, for log lines.
    QString failureReason() const { return m_failure; }

    wl_display *display() const { return m_display; }
    // The first seat, or null. Data-control and activation act on a seat.
    wl_seat *seat() const { return m_seat; }

    // Every global announced so far, in announcement order.
    const QList<WaylandGlobal> &globals() const { return m_globals; }
    std::optional<WaylandGlobal> global(const QString &interface) const;
    // Binds the announced global of this interface at the lower of its version and `maxVersion`;
    // null when the compositor does not offer it.
    void *bind(const wl_interface *interface, quint32 maxVersion) const;

    // Sends queued requests now, rather than before the event loop next sleeps.
    void flush();
    // Sends queued requests and waits until the compositor has handled them and every event
    // they caused was dispatched. For setting up; false when the connection failed.
    bool roundtrip();

signals:
    // The compositor went away or broke the connection; no further events arrive.
    void disconnected();

private:
    void readEvents();
    void fail(const QString &reason);
    static void onGlobal(void *data, wl_registry *registry, quint32 name, const char *interface, quint32 version);
    static void onGlobalRemove(void *data, wl_registry *registry, quint32 name);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QList<WaylandGlobal> m_globals;
    QString m_failure;
};

} // namespace snipbrook
