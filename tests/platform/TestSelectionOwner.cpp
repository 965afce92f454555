#include "TestSelectionOwner.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>

namespace snipbrook::test {

TestSelectionOwner::TestSelectionOwner(const QString &display)
{
    m_connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(m_connection))
        return;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    m_clipboard = atom("CLIPBOARD");
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

TestSelectionOwner::~TestSelectionOwner()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    xcb_disconnect(m_connection);
}

xcb_atom_t TestSelectionOwner::atom(const QByteArray &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

QByteArray TestSelectionOwner::atomName(xcb_atom_t atom)
{
    xcb_get_atom_name_reply_t *reply = xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr);
    if (!reply)
        return {};
    QByteArray name(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
    std::free(reply);
    return name;
}

void TestSelectionOwner::own(std::map<QByteArray, QByteArray> representations, int incrementalChunk)
{
    {
        std::lock_guard lock(m_mutex);
        m_representations = std::move(representations);
        m_chunk = incrementalChunk;
        m_requests.clear();
    }
    xcb_set_selection_owner(m_connection, m_window, m_clipboard, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

void TestSelectionOwner::release()
{
    xcb_set_selection_owner(m_connection, XCB_WINDOW_NONE, m_clipboard, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

QStringList TestSelectionOwner::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void TestSelectionOwner::run()
{
    while (!m_stop) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_SELECTION_REQUEST)
                answer(*reinterpret_cast<xcb_selection_request_event_t *>(event));
            else if (type == XCB_PROPERTY_NOTIFY)
                continueTransfer(*reinterpret_cast<xcb_property_notify_event_t *>(event));
            std::free(event);
        }
        xcb_flush(m_connection);
        if (xcb_connection_has_error(m_connection))
            return;
        pollfd waits[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(waits, 2, -1);
    }
}

void TestSelectionOwner::answer(const xcb_selection_request_event_t &request)
{
    const QByteArray target = atomName(request.target);
    xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    std::lock_guard lock(m_mutex);
    m_requests.append(QString::fromLatin1(target));
    if (m_hung)
        return; // a hung application: the request is never answered
    if (target == "TARGETS") {
        std::vector<xcb_atom_t> targets{atom("TARGETS")};
        for (const auto &[name, bytes] : m_representations)
            targets.push_back(atom(name));
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(targets.size()), targets.data());
    } else if (const auto it = m_representations.find(target); it != m_representations.end()) {
        const QByteArray &bytes = it->second;
        if (m_chunk > 0 && bytes.size() > m_chunk) {
            // Announce the size, then send chunks each time the requestor deletes the property.
            const uint32_t size = static_cast<uint32_t>(bytes.size());
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(m_connection, request.requestor, XCB_CW_EVENT_MASK, &mask);
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, atom("INCR"), 32, 1,
                                &size);
            m_transfers[{request.requestor, property}] = Transfer{request.requestor, property, request.target, bytes};
            ++m_incrementalTransfers;
        } else {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                                static_cast<uint32_t>(bytes.size()), bytes.constData());
        }
    } else {
        property = XCB_ATOM_NONE;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
}

void TestSelectionOwner::continueTransfer(const xcb_property_notify_event_t &notify)
{
    if (notify.state != XCB_PROPERTY_DELETE)
        return;
    std::lock_guard lock(m_mutex);
    const auto it = m_transfers.find({notify.window, notify.atom});
    if (it == m_transfers.end())
        return;
    Transfer &transfer = it->second;
    const qsizetype length = std::min<qsizetype>(m_chunk, transfer.data.size() - transfer.sent);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type, 8,
                        static_cast<uint32_t>(length), transfer.data.constData() + transfer.sent);
    transfer.sent += length;
    // The zero-length chunk that ends the transfer has now been written too.
    if (length == 0)
        m_transfers.erase(it);
}

} // namespace snipbrook::test
