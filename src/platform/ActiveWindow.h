#pragma once

#include <QString>

#include <optional>

namespace snipbrook {

// A top-level window as the paste needs it: an id to find it again, and its class to choose the
// paste keystroke.
struct WindowIdentity {
    quint64 id = 0;
    // The two parts of the window's class (on X11: WM_CLASS instance and class).
    QString instanceName;
    QString className;

    bool operator==(const WindowIdentity &) const = default;
};

// The window that receives key input, and switching it. Unlike Workspace, which speaks of
// applications, this speaks of single windows, so a paste goes back to the very window it
// came from.
class ActiveWindow {
public:
    virtual ~ActiveWindow() = default;

    // The active window, or nothing (no display, nothing focused).
    virtual std::optional<WindowIdentity> current() const = 0;
    // Asks for the window to become active; the switch happens later, isActive() tells when.
    // False when the window no longer exists or cannot be asked for.
    virtual bool activate(quint64 window) = 0;
    virtual bool isActive(quint64 window) const = 0;
    virtual bool exists(quint64 window) const = 0;
};

} // namespace snipbrook
