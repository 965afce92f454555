#pragma once

#include "ToplevelList.h"

#include <QObject>

#include <map>
#include <memory>

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace snipbrook {

class WaylandConnection;

// The compositor's window list over zwlr_foreign_toplevel_manager_v1 (wlroots compositors, KDE
// Plasma has its own and GNOME none): keeps `list()` up to date and asks for a window to be
// activated. Without the protocol the list stays empty. Main thread; the connection must
// outlive it.
class WaylandToplevels : public QObject {
    Q_OBJECT
public:
    explicit WaylandToplevels(WaylandConnection &connection, QObject *parent = nullptr);
    ~WaylandToplevels() override;

    // The compositor sends its window list.
    bool isAvailable() const { return m_manager != nullptr; }
    const ToplevelList &list() const { return m_list; }
    // Asks the compositor to activate the window on our seat; false when the window is gone or
    // there is no seat.
    bool activate(quint64 id);

signals:
    // A window's `done` applied its changes, or a window went.
    void changed();

private:
    struct Handle;
    static void onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *manager, zwlr_foreign_toplevel_handle_v1 *handle);
    static void onFinished(void *data, zwlr_foreign_toplevel_manager_v1 *manager);
    void forget(quint64 id);
    void stop();

    WaylandConnection &m_connection;
    zwlr_foreign_toplevel_manager_v1 *m_manager = nullptr;
    std::map<quint64, std::unique_ptr<Handle>> m_handles;
    ToplevelList m_list;
};

} // namespace snipbrook
