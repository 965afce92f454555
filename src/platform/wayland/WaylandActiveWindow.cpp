#include "WaylandActiveWindow.h"

#include "OwnAppId.h"
#include "WaylandToplevels.h"

#include <QCoreApplication>

namespace snipbrook {

WaylandActiveWindow::WaylandActiveWindow(WaylandToplevels &toplevels)
    : WaylandActiveWindow(toplevels.list(), [&toplevels](quint64 id) { return toplevels.activate(id); })
{
}

WaylandActiveWindow::WaylandActiveWindow(const ToplevelList &list, Activation activation, QStringList ownAppIds)
    : m_list(list), m_activation(std::move(activation)),
      m_ownAppIds(ownAppIds.isEmpty() ? snipbrookAppIds() : std::move(ownAppIds))
{
}

std::optional<WindowIdentity> WaylandActiveWindow::current() const
{
    const std::optional<Toplevel> active = m_list.activated();
    if (!active)
        return std::nullopt;
    const QString className = m_ownAppIds.contains(active->appId) ? QCoreApplication::applicationName() : active->appId;
    return WindowIdentity{active->id, active->appId, className};
}

bool WaylandActiveWindow::activate(quint64 window) { return exists(window) && m_activation(window); }

bool WaylandActiveWindow::isActive(quint64 window) const
{
    const std::optional<Toplevel> active = m_list.activated();
    return active && active->id == window;
}

bool WaylandActiveWindow::exists(quint64 window) const { return m_list.find(window).has_value(); }

} // namespace snipbrook
