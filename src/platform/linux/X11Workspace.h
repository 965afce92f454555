#pragma once

#include "DesktopApplications.h"
#include "XcbConnection.h"
#include "platform/Workspace.h"

#include <atomic>
#include <memory>

namespace snipbrook {

// Applications on an X11 desktop: the EWMH window-manager hints (_NET_ACTIVE_WINDOW,
// _NET_CLIENT_LIST, _NET_WM_PID, WM_CLASS, skip-taskbar) joined with the desktop entries.
// An application's bundle identifier is its desktop-entry id, else its WM_CLASS class in lower
// case; its name is the entry's Name, else the class. Without a display or window manager
// there is no front application (and, without a display, no running one). Thread-safe.
class X11Workspace : public Workspace {
public:
    static constexpr int iconSize = DesktopApplications::iconSize;

    struct Options {
        // Empty: $DISPLAY.
        QString displayName;
        // Where applications/ folders are looked for, in precedence order; none: the XDG ones.
        std::optional<QStringList> dataDirs;
        // The language of names; none: the environment's.
        std::optional<QString> locale;
    };

    X11Workspace();
    explicit X11Workspace(Options options);
    ~X11Workspace() override;

    bool isConnected() const;
    static QString snipbrookBundleIdentifier() { return DesktopApplications::snipbrookBundleIdentifier(); }

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> ownBundleIdentifier() const override { return snipbrookBundleIdentifier(); }
    std::optional<QString> applicationLocation(const QString &bundleIdentifier) const override;
    QList<InstalledApplication> installedApplications(bool rescan) const override;
    std::optional<InstalledApplication> installedApplication(const QString &bundleIdentifier) const override;
    QImage iconForFile(const QString &path) const override;

    DesktopEntryIndex &desktopEntries() const { return m_applications.entries(); }

private:
    struct Window;
    struct WindowRequest;

    WindowRequest requestWindow(xcb_window_t window) const;
    Window takeWindow(const WindowRequest &request) const;
    RunningApplication applicationOf(const Window &window) const;
    // The window the _NET_SUPPORTING_WM_CHECK of the root names confirms it, as EWMH asks.
    bool windowManagerConfirms(std::optional<quint32> checkWindow) const;
    QList<xcb_window_t> topLevelWindows() const;
    bool usable() const;
    void noteWindowManager(bool running) const;

    std::unique_ptr<XcbConnection> m_connection;
    DesktopApplications m_applications;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_supportingCheck = XCB_ATOM_NONE;
    xcb_atom_t m_clientList = XCB_ATOM_NONE;
    xcb_atom_t m_pid = XCB_ATOM_NONE;
    xcb_atom_t m_windowType = XCB_ATOM_NONE;
    xcb_atom_t m_windowTypeNormal = XCB_ATOM_NONE;
    xcb_atom_t m_state = XCB_ATOM_NONE;
    xcb_atom_t m_stateSkipTaskbar = XCB_ATOM_NONE;
    mutable std::atomic<bool> m_reportedLostDisplay{false};
    // Logged on each change, not on each copy.
    mutable std::atomic<int> m_windowManagerState{-1};
};

} // namespace snipbrook
