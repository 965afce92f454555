#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace snipbrook::test {

// Another X client that owns the CLIPBOARD with chosen representations, for cases the xclip
// tool cannot make: several targets at once, incremental transfers in small chunks, releasing
// the selection on purpose. It answers on a thread of its own and records what it was asked.
class TestSelectionOwner {
public:
    explicit TestSelectionOwner(const QString &display);
    ~TestSelectionOwner();
    TestSelectionOwner(const TestSelectionOwner &) = delete;
    TestSelectionOwner &operator=(const TestSelectionOwner &) = delete;

    bool isValid() const { return m_connection && !xcb_connection_has_error(m_connection); }

    // Takes the clipboard with these representations (target name to bytes). Values longer
    // than `incrementalChunk` (when above 0) go out incrementally in chunks of that size.
    void own(std::map<QByteArray, QByteArray> representations, int incrementalChunk = 0);
    // Gives the clipboard up on purpose (owner None), as a program that clears it does.
    void release();

    // While hung, requests are recorded but never answered, as with an application that froze.
    void setHung(bool hung) { m_hung = hung; }

    // Targets asked for since the last own(), in order ("TARGETS" included).
    QStringList requests() const;
    int incrementalTransfers() const { return m_incrementalTransfers; }

private:
    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray data;
        qsizetype sent = 0;
    };

    void run();
    xcb_atom_t atom(const QByteArray &name);
    QByteArray atomName(xcb_atom_t atom);
    void answer(const xcb_selection_request_event_t &request);
    void continueTransfer(const xcb_property_notify_event_t &notify);

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    int m_wakeFd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hung{false};
    mutable std::mutex m_mutex;
    std::map<QByteArray, QByteArray> m_representations;
    int m_chunk = 0;
    QStringList m_requests;
    std::map<std::pair<xcb_window_t, xcb_atom_t>, Transfer> m_transfers;
    std::atomic<int> m_incrementalTransfers{0};
    std::thread m_thread;
};

} // namespace snipbrook::test
