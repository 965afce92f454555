#pragma once

#include "ToplevelList.h"
#include "platform/Workspace.h"
#include "platform/linux/DesktopApplications.h"

namespace snipbrook {

// Applications on a Wayland desktop: the compositor's window list joined with the desktop
// entries. An application's bundle identifier is the desktop-entry id its app id names (the
// app id usually is that id: "org.gnome.TextEditor", "foot"), else the app id itself; its name
// is the entry's Name, else the app id. Our own windows carry Snipbrook's identifier. Without
// the window list (GNOME) there is no front or running application. Thread-safe.
class WaylandWorkspace : public Workspace {
public:
    struct Options {
        // Where applications/ folders are looked for, in precedence order; none: the XDG ones.
        std::optional<QStringList> dataDirs;
        // The language of names; none: the environment's.
        std::optional<QString> locale;
        // The app ids of our own windows; none: snipbrookAppIds().
        std::optional<QStringList> ownAppIds;
    };

    // The list must outlive the workspace.
    explicit WaylandWorkspace(const ToplevelList &toplevels);
    WaylandWorkspace(const ToplevelList &toplevels, Options options);

    std::optional<RunningApplication> frontmostApplication() const override;
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> ownBundleIdentifier() const override
    {
        return DesktopApplications::snipbrookBundleIdentifier();
    }
    std::optional<QString> applicationLocation(const QString &bundleIdentifier) const override;
    QList<InstalledApplication> installedApplications(bool rescan) const override;
    std::optional<InstalledApplication> installedApplication(const QString &bundleIdentifier) const override;
    QImage iconForFile(const QString &path) const override;

private:
    // Nothing for a window without an app id: there is nothing to name it by.
    std::optional<RunningApplication> applicationOf(const Toplevel &toplevel) const;

    const ToplevelList &m_toplevels;
    const QStringList m_ownAppIds;
    DesktopApplications m_applications;
};

} // namespace snipbrook
