#include "SelectionReader.h"

#include "ClipboardTargets.h"
#include "model/Diagnostics.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace snipbrook {
namespace {

// Property reads are split so one reply stays a few megabytes.
constexpr uint32_t propertyChunkUnits = 1u << 20;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

} // namespace

SelectionReader::SelectionReader(const QString &displayName, Limits limits)
    : m_connection(displayName), m_limits(limits)
{
    if (!m_connection.isValid()) {
        m_failure = m_connection.failureReason();
        return;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        m_failure = QStringLiteral("no event descriptor");
        return;
    }
    QList<QByteArray> names{"CLIPBOARD", "TARGETS", "INCR"};
    for (std::size_t i = 0; i < m_properties.size(); ++i)
        names.append("_SNIPBROOK_SELECTION_" + QByteArray::number(static_cast<int>(i)));
    const QList<xcb_atom_t> atoms = m_connection.atoms(names);
    m_clipboard = atoms[0];
    m_targets = atoms[1];
    m_incr = atoms[2];
    for (std::size_t i = 0; i < m_properties.size(); ++i)
        m_properties[i] = atoms[3 + static_cast<qsizetype>(i)];

    xcb_connection_t *c = m_connection.get();
    m_window = xcb_generate_id(c);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_connection.root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(c);
    m_thread = std::thread([this] { run(); });
}

SelectionReader::~SelectionReader()
{
    if (m_thread.joinable()) {
        m_stop = true;
        wake();
        m_thread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

quint64 SelectionReader::ownerChanged()
{
    const quint64 generation = ++m_generation;
    wake();
    return generation;
}

void SelectionReader::read(quint64 asOf, Completion done)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({asOf, std::move(done)});
    }
    wake();
}

void SelectionReader::wake()
{
    if (m_wakeFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void SelectionReader::run()
{
    while (!m_stop) {
        std::vector<Request> batch;
        {
            std::lock_guard lock(m_mutex);
            batch.swap(m_queue);
        }
        if (batch.empty()) {
            pollfd wait{m_wakeFd, POLLIN, 0};
            ::poll(&wait, 1, -1);
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
            continue;
        }
        // Requests for an owner that is already replaced get nothing; the rest share one read.
        const quint64 current = m_generation.load();
        std::vector<Completion> waiting;
        for (Request &request : batch) {
            if (request.asOf == current)
                waiting.push_back(std::move(request.done));
            else
                request.done(std::nullopt);
        }
        if (waiting.empty())
            continue;
        std::optional<PasteboardSnapshot> snapshot = readSnapshot(current);
        if (m_stop)
            return;
        if (isStale(current))
            snapshot.reset();
        for (Completion &done : waiting)
            done(snapshot);
    }
}

std::optional<PasteboardSnapshot> SelectionReader::readSnapshot(quint64 asOf)
{
    xcb_connection_t *c = m_connection.get();
    const Clock::time_point total = Clock::now() + m_limits.totalTimeout;

    xcb_get_selection_owner_reply_t *ownerReply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboard), nullptr);
    if (!ownerReply)
        return std::nullopt;
    const xcb_window_t owner = ownerReply->owner;
    std::free(ownerReply);
    if (owner == XCB_WINDOW_NONE)
        return PasteboardSnapshot{};

    QByteArray bytes;
    xcb_atom_t type = XCB_ATOM_NONE;
    ClipboardReadPlan plan;
    switch (fetch(QStringLiteral("TARGETS"), asOf, total, bytes, type)) {
    case Fetch::failed:
        return std::nullopt;
    case Fetch::refused:
        plan = fallbackClipboardReadPlan();
        break;
    case Fetch::ok: {
        QList<xcb_atom_t> atoms(bytes.size() / 4);
        if (!atoms.isEmpty())
            std::memcpy(atoms.data(), bytes.constData(), static_cast<size_t>(atoms.size()) * 4);
        plan = planClipboardRead(m_connection.atomNames(atoms));
        break;
    }
    }

    PasteboardSnapshot snapshot;
    if (plan.secretHintTarget) {
        const Fetch result = fetch(*plan.secretHintTarget, asOf, total, bytes, type);
        if (result == Fetch::failed)
            return std::nullopt;
        if (result == Fetch::ok && isSecretHint(bytes)) {
            // The content itself is never fetched.
            snapshot.isSecret = true;
            return snapshot;
        }
    }
    for (const QString &target : plan.imageTargets) {
        const Fetch result = fetch(target, asOf, total, bytes, type);
        if (result == Fetch::failed)
            return std::nullopt;
        if (result == Fetch::ok && !bytes.isEmpty()) {
            snapshot.data[target] = bytes;
            break;
        }
    }
    if (plan.urlTarget) {
        const Fetch result = fetch(*plan.urlTarget, asOf, total, bytes, type);
        if (result == Fetch::failed)
            return std::nullopt;
        if (result == Fetch::ok)
            snapshot.urls = decodeClipboardUrls(*plan.urlTarget, bytes);
    }
    for (const QString &target : plan.textTargets) {
        const Fetch result = fetch(target, asOf, total, bytes, type);
        if (result == Fetch::failed)
            return std::nullopt;
        if (result == Fetch::ok) {
            snapshot.text = decodeClipboardText(target, bytes);
            break;
        }
    }
    return snapshot;
}

SelectionReader::Fetch SelectionReader::fetch(const QString &target, quint64 asOf, Clock::time_point total,
                                              QByteArray &bytes, xcb_atom_t &type)
{
    bytes.clear();
    type = XCB_ATOM_NONE;
    xcb_connection_t *c = m_connection.get();
    const xcb_atom_t targetAtom = m_connection.atom(target.toLatin1());
    const xcb_atom_t property = m_properties[m_nextProperty++ % m_properties.size()];
    xcb_delete_property(c, m_window, property);
    xcb_convert_selection(c, m_window, m_clipboard, targetAtom, property, XCB_CURRENT_TIME);
    xcb_flush(c);

    const auto stepDeadline = [&] { return std::min(total, Clock::now() + m_limits.stepTimeout); };
    const auto timedOut = [&] {
        if (!isStale(asOf) && !xcb_connection_has_error(c))
            diag(QStringLiteral("⚠️ Clipboard owner did not answer in time: ") + target);
        return Fetch::failed;
    };

    xcb_generic_event_t *event = waitForEvent(
        [&](const xcb_generic_event_t *e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(e);
            return notify->requestor == m_window && notify->selection == m_clipboard
                && notify->target == targetAtom
                && (notify->property == property || notify->property == XCB_ATOM_NONE);
        },
        stepDeadline(), asOf);
    if (!event)
        return timedOut();
    const bool refused = reinterpret_cast<xcb_selection_notify_event_t *>(event)->property == XCB_ATOM_NONE;
    std::free(event);
    if (refused)
        return Fetch::refused;

    if (const Fetch result = readProperty(property, target, bytes, type); result != Fetch::ok || type != m_incr)
        return result;

    // Incremental transfer: reading deleted the property, which asks for the first chunk; each
    // chunk read asks for the next, and an empty chunk ends it.
    bytes.clear();
    xcb_flush(c);
    bool tooLarge = false;
    for (;;) {
        event = waitForEvent(
            [&](const xcb_generic_event_t *e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(e);
                return notify->window == m_window && notify->atom == property
                    && notify->state == XCB_PROPERTY_NEW_VALUE;
            },
            stepDeadline(), asOf);
        if (!event)
            return timedOut();
        std::free(event);
        QByteArray chunk;
        if (const Fetch result = readProperty(property, target, chunk, type); result != Fetch::ok)
            return result;
        if (chunk.isEmpty())
            break;
        if (bytes.size() + chunk.size() > m_limits.maxRepresentationBytes) {
            // Abandoning the transfer is allowed; the owner gives up on its own.
            tooLarge = true;
            break;
        }
        bytes.append(chunk);
    }
    if (tooLarge) {
        diag(QStringLiteral("⚠️ Clipboard representation too large, skipped: ") + target);
        bytes.clear();
        return Fetch::refused;
    }
    xcb_flush(c);
    return Fetch::ok;
}

SelectionReader::Fetch SelectionReader::readProperty(xcb_atom_t property, const QString &target, QByteArray &bytes,
                                                     xcb_atom_t &type)
{
    xcb_connection_t *c = m_connection.get();
    bytes.clear();
    uint32_t offsetUnits = 0;
    for (;;) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, offsetUnits,
                                propertyChunkUnits),
            nullptr);
        if (!reply)
            return Fetch::failed;
        type = reply->type;
        const int length = xcb_get_property_value_length(reply);
        const uint32_t bytesAfter = reply->bytes_after;
        if (bytes.size() + length > m_limits.maxRepresentationBytes) {
            std::free(reply);
            xcb_delete_property(c, m_window, property);
            diag(QStringLiteral("⚠️ Clipboard representation too large, skipped: ") + target);
            bytes.clear();
            return Fetch::refused;
        }
        bytes.append(static_cast<const char *>(xcb_get_property_value(reply)), length);
        std::free(reply);
        if (bytesAfter == 0)
            return Fetch::ok;
        offsetUnits += static_cast<uint32_t>(length) / 4;
    }
}

xcb_generic_event_t *SelectionReader::waitForEvent(const std::function<bool(const xcb_generic_event_t *)> &accept,
                                                   Clock::time_point deadline, quint64 asOf)
{
    xcb_connection_t *c = m_connection.get();
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            if (accept(event))
                return event;
            std::free(event);
        }
        if (xcb_connection_has_error(c) || isStale(asOf))
            return nullptr;
        const int timeout = millisecondsUntil(deadline);
        if (timeout == 0)
            return nullptr;
        pollfd waits[2] = {{m_connection.fileDescriptor(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(waits, 2, timeout);
        if (waits[1].revents & POLLIN) {
            // Wake-ups for new requests are seen by run() anyway, from the queue itself.
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
        }
    }
}

} // namespace snipbrook
