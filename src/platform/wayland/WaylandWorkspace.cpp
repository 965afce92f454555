#include "WaylandWorkspace.h"

#include "OwnAppId.h"

#include <algorithm>

namespace snipbrook {

WaylandWorkspace::WaylandWorkspace(const ToplevelList &toplevels) : WaylandWorkspace(toplevels, Options{}) {}

WaylandWorkspace::WaylandWorkspace(const ToplevelList &toplevels, Options options)
    : m_toplevels(toplevels), m_ownAppIds(options.ownAppIds.value_or(snipbrookAppIds())),
      m_applications(options.dataDirs.value_or(DesktopEntryIndex::standardDataDirs()),
                     options.locale.value_or(DesktopEntryIndex::messagesLocale()))
{
}

std::optional<RunningApplication> WaylandWorkspace::applicationOf(const Toplevel &toplevel) const
{
    if (toplevel.appId.isEmpty())
        return std::nullopt;
    RunningApplication app;
    // The compositor lists ordinary windows only: no panels, docks or popups.
    app.isRegular = true;
    app.isActive = toplevel.activated;
    if (m_ownAppIds.contains(toplevel.appId)) {
        app.bundleIdentifier = DesktopApplications::snipbrookBundleIdentifier();
        app.localizedName = QStringLiteral("Snipbrook");
    } else if (const std::optional<DesktopEntry> entry =
                   m_applications.entries().byWindowClass(toplevel.appId, toplevel.appId)) {
        app.bundleIdentifier = entry->id;
        app.localizedName = entry->name.isEmpty() ? toplevel.appId : entry->name;
    } else {
        app.bundleIdentifier = toplevel.appId;
        app.localizedName = toplevel.appId;
    }
    return app;
}

std::optional<RunningApplication> WaylandWorkspace::frontmostApplication() const
{
    const std::optional<Toplevel> active = m_toplevels.activated();
    return active ? applicationOf(*active) : std::nullopt;
}

QList<RunningApplication> WaylandWorkspace::runningApplications() const
{
    // One application per identifier, in the order its first window appeared.
    QList<RunningApplication> apps;
    for (const Toplevel &toplevel : m_toplevels.toplevels()) {
        std::optional<RunningApplication> app = applicationOf(toplevel);
        if (!app)
            continue;
        const auto known = std::find_if(apps.begin(), apps.end(), [&](const RunningApplication &other) {
            return other.bundleIdentifier == app->bundleIdentifier;
        });
        if (known != apps.end())
            known->isActive = known->isActive || app->isActive;
        else
            apps.append(*app);
    }
    return apps;
}

std::optional<QString> WaylandWorkspace::applicationLocation(const QString &bundleIdentifier) const
{
    return m_applications.applicationLocation(bundleIdentifier);
}

QList<InstalledApplication> WaylandWorkspace::installedApplications(bool rescan) const
{
    return m_applications.installedApplications(rescan);
}

std::optional<InstalledApplication> WaylandWorkspace::installedApplication(const QString &bundleIdentifier) const
{
    return m_applications.installedApplication(bundleIdentifier);
}

QImage WaylandWorkspace::iconForFile(const QString &path) const { return m_applications.iconForFile(path); }

} // namespace snipbrook
