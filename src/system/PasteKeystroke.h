#pragma once

#include "platform/ActiveWindow.h"
#include "platform/KeySynthesizer.h"

namespace snipbrook {

// How a window pastes, by its class.
enum class PasteStyle {
    // Ctrl+V: ordinary applications.
    clipboard,
    // Ctrl+Shift+V: terminal emulators, where Ctrl+V is a control character.
    terminal,
    // Shift+Insert pastes the primary selection: xterm and rxvt have no default key for the
    // clipboard, so the item is offered as the primary selection too.
    primarySelection,
};

// Decided by either part of the window's class (on Wayland both are the app id) against a table
// of common terminals; an unknown
// class or no window at all pastes the ordinary way.
PasteStyle pasteStyleFor(const std::optional<WindowIdentity> &window);
KeyChord pasteChord(PasteStyle style);

} // namespace snipbrook
