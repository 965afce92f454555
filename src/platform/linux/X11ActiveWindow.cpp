#include "X11ActiveWindow.h"

#include <cstdlib>

namespace snipbrook {
namespace {

// EWMH source indication of a pager: the user asked for the switch, so focus-stealing
// prevention does not apply.
constexpr uint32_t sourcePager = 2;

} // namespace

X11ActiveWindow::X11ActiveWindow(const QString &displayName)
    : m_connection(std::make_unique<XcbConnection>(displayName))
{
    // X11Workspace and the pasteboard already report a missing display.
    if (!m_connection->isValid())
        return;
    const QList<xcb_atom_t> atoms = m_connection->atoms({"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK"});
    m_activeWindow = atoms[0];
    m_supportingCheck = atoms[1];
}

X11ActiveWindow::~X11ActiveWindow() = default;

bool X11ActiveWindow::windowManagerRunning() const
{
    const XcbConnection &c = *m_connection;
    const std::optional<quint32> check =
        XcbConnection::firstCardinal(c.takeProperty(c.requestProperty(c.root(), m_supportingCheck, 4)));
    if (!check || *check == 0)
        return false;
    // A window manager that went away leaves its hints behind; its check window goes with it.
    return XcbConnection::firstCardinal(c.takeProperty(c.requestProperty(*check, m_supportingCheck, 4))) == check;
}

bool X11ActiveWindow::compositorRunning() const
{
    if (!m_connection->isValid())
        return false;
    xcb_connection_t *c = m_connection->get();
    const xcb_atom_t selection = m_connection->atom("_NET_WM_CM_S" + QByteArray::number(m_connection->screenNumber()));
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

xcb_window_t X11ActiveWindow::topLevelOf(xcb_window_t window) const
{
    xcb_connection_t *c = m_connection->get();
    for (int depth = 0; depth < 32; ++depth) {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree)
            return XCB_WINDOW_NONE;
        const xcb_window_t parent = tree->parent;
        const xcb_window_t root = tree->root;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE)
            return window;
        window = parent;
    }
    return window;
}

xcb_window_t X11ActiveWindow::activeId() const
{
    if (!m_connection->isValid())
        return XCB_WINDOW_NONE;
    if (windowManagerRunning()) {
        const XcbConnection &c = *m_connection;
        return XcbConnection::firstCardinal(c.takeProperty(c.requestProperty(c.root(), m_activeWindow, 4)))
            .value_or(XCB_WINDOW_NONE);
    }
    xcb_connection_t *c = m_connection->get();
    xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t window = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(focus);
    // PointerRoot (1) and the root itself are no application window.
    if (window == XCB_WINDOW_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == m_connection->root())
        return XCB_WINDOW_NONE;
    return topLevelOf(window);
}

std::optional<WindowIdentity> X11ActiveWindow::current() const
{
    const xcb_window_t window = activeId();
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    const XcbConnection &c = *m_connection;
    const auto wmClass = c.takeProperty(c.requestProperty(window, XCB_ATOM_WM_CLASS));
    if (!exists(window))
        return std::nullopt;
    const QStringList parts = XcbConnection::strings(wmClass);
    return WindowIdentity{window, parts.value(0), parts.value(1)};
}

bool X11ActiveWindow::isActive(quint64 window) const
{
    // The window manager names a closed window for a moment after it went.
    return window != XCB_WINDOW_NONE && activeId() == window && exists(window);
}

bool X11ActiveWindow::exists(quint64 window) const
{
    if (!m_connection->isValid() || window == XCB_WINDOW_NONE || window > UINT32_MAX)
        return false;
    xcb_connection_t *c = m_connection->get();
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr);
    const bool found = attributes != nullptr;
    std::free(attributes);
    return found;
}

bool X11ActiveWindow::activate(quint64 window)
{
    if (!exists(window))
        return false;
    xcb_connection_t *c = m_connection->get();
    const auto id = xcb_window_t(window);
    if (windowManagerRunning()) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = m_activeWindow;
        event.data.data32[0] = sourcePager;
        event.data.data32[1] = XCB_CURRENT_TIME;
        event.data.data32[2] = XCB_WINDOW_NONE;
        xcb_send_event(c, 0, m_connection->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
        xcb_flush(c);
        return m_connection->isValid();
    }
    // An unmapped window cannot take the focus (BadMatch).
    xcb_generic_error_t *error =
        xcb_request_check(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME));
    const bool done = error == nullptr;
    std::free(error);
    return done;
}

} // namespace snipbrook
