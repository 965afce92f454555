#pragma once

#include "XcbConnection.h"
#include "platform/Pasteboard.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace snipbrook {

// Reads the CLIPBOARD selection into a PasteboardSnapshot on a thread and X connection of its
// own: the targets are listed once, each needed representation is fetched once (INCR transfers
// included), and every wait on the owner is bounded, so an owner that hangs costs one time-out
// and never the caller's time.
class SelectionReader {
public:
    struct Limits {
        // For the owner's answer to one request, and for each chunk of an incremental transfer.
        std::chrono::milliseconds stepTimeout{1000};
        // For the whole snapshot (an owner that trickles its data).
        std::chrono::milliseconds totalTimeout{10000};
        // A representation beyond this is skipped rather than held in memory.
        qsizetype maxRepresentationBytes = qsizetype(256) << 20;
    };
    // Runs on the reader thread; nothing when the read failed, timed out or went stale.
    using Completion = std::function<void(std::optional<PasteboardSnapshot>)>;

    SelectionReader(const QString &displayName, Limits limits);
    ~SelectionReader();
    SelectionReader(const SelectionReader &) = delete;
    SelectionReader &operator=(const SelectionReader &) = delete;

    bool isRunning() const { return m_thread.joinable(); }
    // Why the reader could not start, for the log; empty when it runs.
    const QString &failure() const { return m_failure; }

    // Counts owner changes. A read in progress belongs to an older change and ends at once,
    // so a hung owner that has been replaced stops costing time. Any thread.
    quint64 ownerChanged();
    quint64 generation() const { return m_generation.load(); }

    // Reads the clipboard as it stands for owner generation `asOf`; the result is nothing when
    // the owner has changed since (a newer change is on its way). Requests that wait together
    // share one read.
    void read(quint64 asOf, Completion done);

private:
    enum class Fetch { ok, refused, failed };
    using Clock = std::chrono::steady_clock;
    struct Request {
        quint64 asOf;
        Completion done;
    };

    void run();
    void wake();
    std::optional<PasteboardSnapshot> readSnapshot(quint64 asOf);
    Fetch fetch(const QString &target, quint64 asOf, Clock::time_point total, QByteArray &bytes,
                xcb_atom_t &type);
    // Reads and deletes the property; a value beyond the size limit is refused.
    Fetch readProperty(xcb_atom_t property, const QString &target, QByteArray &bytes, xcb_atom_t &type);
    // The first event the predicate accepts (the caller frees it), or nothing on time-out, a
    // newer owner, shutdown or a broken connection.
    xcb_generic_event_t *waitForEvent(const std::function<bool(const xcb_generic_event_t *)> &accept,
                                      Clock::time_point deadline, quint64 asOf);
    bool isStale(quint64 asOf) const { return m_stop.load() || m_generation.load() != asOf; }

    XcbConnection m_connection;
    Limits m_limits;
    QString m_failure;
    int m_wakeFd = -1;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
    // Transfers rotate through several properties, so a late answer to an abandoned request
    // cannot be taken for the answer to the current one.
    std::array<xcb_atom_t, 8> m_properties{};
    std::size_t m_nextProperty = 0;

    std::mutex m_mutex;
    std::vector<Request> m_queue;
    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace snipbrook
