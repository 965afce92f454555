#include "SelectionOwnerWatcher.h"

#include "model/Diagnostics.h"

#include <xcb/xfixes.h>

#include <cstdlib>

namespace snipbrook {

SelectionOwnerWatcher::SelectionOwnerWatcher(const QString &displayName, ChangeCallback onChange)
    : m_connection(displayName), m_onChange(std::move(onChange))
{
    if (!m_connection.isValid()) {
        m_failure = m_connection.failureReason();
        return;
    }
    xcb_connection_t *c = m_connection.get();
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        m_failure = QStringLiteral("the X server lacks the XFIXES extension");
        return;
    }
    std::free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    m_firstXfixesEvent = xfixes->first_event;

    const QList<xcb_atom_t> atoms = m_connection.atoms({"CLIPBOARD", "_SNIPBROOK_WATCHER_STOP"});
    m_clipboard = atoms[0];
    m_stopMessage = atoms[1];

    m_window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_connection.root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const uint32_t mask = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
        | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
        | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;
    xcb_generic_error_t *error =
        xcb_request_check(c, xcb_xfixes_select_selection_input_checked(c, m_window, m_clipboard, mask));
    if (error) {
        std::free(error);
        m_failure = QStringLiteral("selection events were refused");
        return;
    }
    m_thread = std::thread([this] { run(); });
}

SelectionOwnerWatcher::~SelectionOwnerWatcher()
{
    if (!m_thread.joinable())
        return;
    // An event to our own window wakes the thread out of xcb_wait_for_event.
    xcb_client_message_event_t stop{};
    stop.response_type = XCB_CLIENT_MESSAGE;
    stop.format = 32;
    stop.window = m_window;
    stop.type = m_stopMessage;
    xcb_send_event(m_connection.get(), 0, m_window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&stop));
    xcb_flush(m_connection.get());
    m_thread.join();
}

std::optional<xcb_window_t> SelectionOwnerWatcher::currentOwner() const
{
    if (!m_connection.isValid())
        return std::nullopt;
    xcb_connection_t *c = m_connection.get();
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboard), nullptr);
    if (!reply)
        return std::nullopt;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

void SelectionOwnerWatcher::run()
{
    const uint8_t notifyType = m_firstXfixesEvent + XCB_XFIXES_SELECTION_NOTIFY;
    // Returns nothing once the connection breaks.
    while (xcb_generic_event_t *event = xcb_wait_for_event(m_connection.get())) {
        const uint8_t type = event->response_type & 0x7f;
        bool stop = false;
        if (type == notifyType) {
            const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
            if (notify->selection == m_clipboard) {
                SelectionOwnerChange change;
                change.owner = notify->owner;
                change.ownerQuit = notify->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER;
                m_onChange(change);
            }
        } else if (type == XCB_CLIENT_MESSAGE) {
            stop = reinterpret_cast<const xcb_client_message_event_t *>(event)->type == m_stopMessage;
        }
        std::free(event);
        if (stop)
            return;
    }
    diag(QStringLiteral("⚠️ Lost the X display, clipboard changes are no longer seen: ") + m_connection.displayName());
}

} // namespace snipbrook
