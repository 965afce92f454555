#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <optional>

namespace snipbrook {

// The XKB keysym name of a key a shortcut can use ("space", "Return", "a", "F5"): the key syntax
// of compositor bindings (sway's bindsym) and of the GlobalShortcuts portal's triggers. Letters
// are the lower-case keysyms. Nothing for other keys.
std::optional<QString> xkbKeyName(Qt::Key key);

} // namespace snipbrook
