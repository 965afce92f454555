#pragma once

#include "ToplevelList.h"
#include "platform/ActiveWindow.h"

#include <QStringList>

#include <functional>

namespace snipbrook {

class WaylandToplevels;

// The active window of a Wayland desktop from the compositor's window list: the activated
// toplevel, named by its app id in both parts of its class (so the paste finds terminals by
// it); our own windows carry the application name as their class, as Qt sets it on X11.
// Switching asks the compositor to activate the window on our seat. Main thread only.
class WaylandActiveWindow : public ActiveWindow {
public:
    // Asks for a window to be activated; false when it cannot be.
    using Activation = std::function<bool(quint64)>;

    // The toplevels must outlive this.
    explicit WaylandActiveWindow(WaylandToplevels &toplevels);
    // `ownAppIds` empty: snipbrookAppIds().
    WaylandActiveWindow(const ToplevelList &list, Activation activation, QStringList ownAppIds = {});

    std::optional<WindowIdentity> current() const override;
    bool activate(quint64 window) override;
    bool isActive(quint64 window) const override;
    bool exists(quint64 window) const override;

private:
    const ToplevelList &m_list;
    Activation m_activation;
    const QStringList m_ownAppIds;
};

} // namespace snipbrook
