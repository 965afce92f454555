#pragma once

#include <QObject>

namespace snipbrook {

// One system-wide keyboard shortcut: while it is registered, pressing it anywhere on the desktop,
// whichever window has the keyboard, reaches pressed() on the main thread.
//
// Modifiers use the toolkit's portable names: ControlModifier is the key the configuration calls
// "cmd", MetaModifier (Super) the one it calls "ctrl".
class GlobalShortcut : public QObject {
    Q_OBJECT
public:
    // registerShortcut() statuses. Positive values are the display server's own error codes
    // (10: another application holds the combination).
    static constexpr int success = 0;
    // There is no connection to the display.
    static constexpr int noDisplay = -1;
    // The key is not on the current keyboard layout, or not one a shortcut can use.
    static constexpr int keyUnavailable = -2;
    // Programs cannot take keys on this desktop (Wayland without the GlobalShortcuts portal):
    // the user binds `snipbrook popup` in the compositor instead. Nothing is registered.
    static constexpr int boundByDesktop = -3;

    using QObject::QObject;
    ~GlobalShortcut() override = default;

    // Takes the combination for this program. On success it replaces the one registered before;
    // on failure that one stays.
    virtual int registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers) = 0;
    // Releases the combination; nothing happens when none is registered.
    virtual void unregisterShortcut() = 0;
    // The modifier keys (Shift, Control, Alt, Meta) held at the moment of asking.
    virtual Qt::KeyboardModifiers heldModifiers() const = 0;

signals:
    void pressed();
};

} // namespace snipbrook
