#include "WaylandToplevels.h"

#include "WaylandConnection.h"
#include "model/Diagnostics.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace snipbrook {

struct WaylandToplevels::Handle {
    WaylandToplevels *owner = nullptr;
    quint64 id = 0;
    zwlr_foreign_toplevel_handle_v1 *proxy = nullptr;

    ~Handle() { zwlr_foreign_toplevel_handle_v1_destroy(proxy); }

    static Handle &of(void *data) { return *static_cast<Handle *>(data); }
    static void onTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title)
    {
        Handle &h = of(data);
        h.owner->m_list.setTitle(h.id, QString::fromUtf8(title));
    }
    static void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
    {
        Handle &h = of(data);
        h.owner->m_list.setAppId(h.id, QString::fromUtf8(appId));
    }
    static void onOutputEnter(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
    static void onOutputLeave(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
    static void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
    {
        bool activated = false;
        const auto *state = static_cast<const uint32_t *>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        Handle &h = of(data);
        h.owner->m_list.setActivated(h.id, activated);
    }
    static void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *)
    {
        Handle &h = of(data);
        h.owner->m_list.done(h.id);
        emit h.owner->changed();
    }
    static void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *)
    {
        Handle &h = of(data);
        h.owner->forget(h.id);
    }
    static void onParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {}
};

WaylandToplevels::WaylandToplevels(WaylandConnection &connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
        connection.bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!m_manager) {
        if (connection.isValid())
            diag(QStringLiteral("⚠️ The compositor lists no windows (no zwlr_foreign_toplevel_manager_v1): the source "
                                "application of copies is unknown, pastes go to the window in front"));
        return;
    }
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&WaylandToplevels::onToplevel,
                                                                       &WaylandToplevels::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    connect(&connection, &WaylandConnection::disconnected, this, [this] {
        m_list.clear();
        emit changed();
    });
    // The windows open now, so the first copy already knows where it came from.
    connection.roundtrip();
}

WaylandToplevels::~WaylandToplevels()
{
    m_handles.clear();
    stop();
    m_connection.flush();
}

void WaylandToplevels::stop()
{
    if (!m_manager)
        return;
    zwlr_foreign_toplevel_manager_v1_stop(m_manager);
    zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    m_manager = nullptr;
}

void WaylandToplevels::onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *proxy)
{
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        &Handle::onTitle, &Handle::onAppId, &Handle::onOutputEnter, &Handle::onOutputLeave, &Handle::onState,
        &Handle::onDone,  &Handle::onClosed, &Handle::onParent};
    auto *self = static_cast<WaylandToplevels *>(data);
    auto handle = std::make_unique<Handle>();
    handle->owner = self;
    handle->id = self->m_list.add();
    handle->proxy = proxy;
    zwlr_foreign_toplevel_handle_v1_add_listener(proxy, &listener, handle.get());
    self->m_handles.emplace(handle->id, std::move(handle));
}

void WaylandToplevels::onFinished(void *data, zwlr_foreign_toplevel_manager_v1 *)
{
    auto *self = static_cast<WaylandToplevels *>(data);
    diag(QStringLiteral("⚠️ The compositor stopped sending its window list: the source application of copies is unknown"));
    // The manager is gone on the compositor's side; only our proxy is left to destroy.
    zwlr_foreign_toplevel_manager_v1_destroy(self->m_manager);
    self->m_manager = nullptr;
    self->m_handles.clear();
    self->m_list.clear();
    emit self->changed();
}

void WaylandToplevels::forget(quint64 id)
{
    m_list.remove(id);
    m_handles.erase(id);
    emit changed();
}

bool WaylandToplevels::activate(quint64 id)
{
    const auto it = m_handles.find(id);
    if (it == m_handles.end() || !m_list.find(id) || !m_connection.seat() || !m_connection.isValid())
        return false;
    zwlr_foreign_toplevel_handle_v1_activate(it->second->proxy, m_connection.seat());
    m_connection.flush();
    return true;
}

} // namespace snipbrook
