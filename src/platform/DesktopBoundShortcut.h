#pragma once

#include "platform/GlobalShortcut.h"

namespace snipbrook {

// The global shortcut where programs cannot take keys and the desktop offers no shortcut portal
// (sway, Hyprland, GNOME on Wayland): every registration answers `boundByDesktop`, so the user
// is told to bind `snipbrook popup` in the compositor, and the command line opens the panel.
class DesktopBoundShortcut : public GlobalShortcut {
    Q_OBJECT
public:
    using GlobalShortcut::GlobalShortcut;

    int registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers) override;
    void unregisterShortcut() override {}
    // Never asked: nothing is ever pressed here.
    Qt::KeyboardModifiers heldModifiers() const override { return {}; }
};

} // namespace snipbrook
