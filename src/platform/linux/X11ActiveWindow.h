#pragma once

#include "XcbConnection.h"
#include "platform/ActiveWindow.h"

#include <memory>

namespace snipbrook {

// The active window of an X11 desktop on a connection of our own: the window manager's
// _NET_ACTIVE_WINDOW, switched with the EWMH activation request (as a pager sends it, which
// window managers honour); without a window manager, the input focus, set directly. Main
// thread only.
class X11ActiveWindow : public ActiveWindow {
public:
    // Empty: $DISPLAY.
    explicit X11ActiveWindow(const QString &displayName = {});
    ~X11ActiveWindow() override;

    std::optional<WindowIdentity> current() const override;
    bool activate(quint64 window) override;
    bool isActive(quint64 window) const override;
    bool exists(quint64 window) const override;

    // Whether a compositing manager owns the screen's _NET_WM_CM_S selection (windows may then
    // be translucent).
    bool compositorRunning() const;

private:
    bool windowManagerRunning() const;
    xcb_window_t activeId() const;
    // The child of the root that holds `window`: the window the window manager deals with.
    xcb_window_t topLevelOf(xcb_window_t window) const;

    std::unique_ptr<XcbConnection> m_connection;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_supportingCheck = XCB_ATOM_NONE;
};

} // namespace snipbrook
