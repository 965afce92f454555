#pragma once

#include <QList>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace snipbrook {

// A window as the compositor's window list describes it.
struct Toplevel {
    // Ours, one per window and never reused while the program runs.
    quint64 id = 0;
    QString appId;
    QString title;
    bool activated = false;

    bool operator==(const Toplevel &) const = default;
};

// The compositor's toplevel windows, fed by the foreign-toplevel events and free of the protocol.
// A window's title, app id and state are held back until its `done` and then apply together;
// a window is listed from its first `done` on. Written on the main thread where the events
// arrive; read from any thread.
class ToplevelList {
public:
    // A window the compositor announced; returns its id.
    quint64 add();
    void setTitle(quint64 id, const QString &title);
    void setAppId(quint64 id, const QString &appId);
    void setActivated(quint64 id, bool activated);
    void done(quint64 id);
    // The window closed.
    void remove(quint64 id);
    // The compositor stopped sending the list, or the connection went.
    void clear();

    // The listed windows in the order they appeared.
    QList<Toplevel> toplevels() const;
    // The window that has the keyboard focus: the one activated last when several are (one
    // per seat).
    std::optional<Toplevel> activated() const;
    std::optional<Toplevel> find(quint64 id) const;

private:
    struct Entry {
        Toplevel current;
        Toplevel pending;
        bool listed = false;
        // When `current` became activated, to tell the newest of several.
        quint64 activatedAt = 0;
    };
    Entry *entryLocked(quint64 id);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    quint64 m_nextId = 1;
    quint64 m_activations = 0;
};

} // namespace snipbrook
