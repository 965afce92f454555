#pragma once

#include "XcbConnection.h"

#include <functional>
#include <optional>
#include <thread>

namespace snipbrook {

// One change of the CLIPBOARD selection's owner.
struct SelectionOwnerChange {
    // The new owner; none when the clipboard is now empty.
    xcb_window_t owner = XCB_WINDOW_NONE;
    // The owner went away (its window was destroyed or it disconnected) rather than someone
    // taking or releasing the selection.
    bool ownerQuit = false;
};

// Watches the owner of the CLIPBOARD selection (XFixes selection-owner notify) on a thread and
// connection of its own, so a change is seen within milliseconds whatever the event loop does.
class SelectionOwnerWatcher {
public:
    // `onChange` runs on the watcher's thread.
    using ChangeCallback = std::function<void(const SelectionOwnerChange &)>;

    SelectionOwnerWatcher(const QString &displayName, ChangeCallback onChange);
    ~SelectionOwnerWatcher();
    SelectionOwnerWatcher(const SelectionOwnerWatcher &) = delete;
    SelectionOwnerWatcher &operator=(const SelectionOwnerWatcher &) = delete;

    bool isWatching() const { return m_thread.joinable(); }
    // Why watching could not start, for the log; empty when it runs.
    const QString &failure() const { return m_failure; }

    // The current owner, asked of the server (never of the owner); nothing when the connection
    // is broken. Any thread.
    std::optional<xcb_window_t> currentOwner() const;

private:
    void run();

    XcbConnection m_connection;
    ChangeCallback m_onChange;
    QString m_failure;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_stopMessage = XCB_ATOM_NONE;
    uint8_t m_firstXfixesEvent = 0;
    std::thread m_thread;
};

} // namespace snipbrook
