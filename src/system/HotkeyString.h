#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <optional>

namespace snipbrook::hotkey {

// Hot key strings are modifier words and one key name joined by "+" ("shift+cmd+space"), as the
// configuration stores them. Keys are numbered with the classic Mac virtual key codes and
// modifiers with the classic Mac modifier masks, so stored strings and their numbers stay the
// same on every platform; the platform layer translates them.

inline constexpr quint32 cmdMask = 0x0100;
inline constexpr quint32 shiftMask = 0x0200;
inline constexpr quint32 optionMask = 0x0800;
inline constexpr quint32 controlMask = 0x1000;

// Registered when there is no configuration to read.
inline const QString defaultHotkey = QStringLiteral("shift+cmd+space");

struct Hotkey {
    quint16 keyCode = 0;
    quint32 modifiers = 0;

    bool operator==(const Hotkey &) const = default;
};

// Pieces are matched case-insensitively but not trimmed; unknown pieces are ignored and the last
// key name wins. Nothing when no key name is found.
std::optional<Hotkey> parseHotkeyString(const QString &string);

// The symbol form of the log lines: "cmd+shift+space" gives "⌘⇧Space". Pieces are mapped as
// written (an upper-case "CMD" is not a symbol).
QString hotkeyDisplayString(const QString &string);

// The form shown to people on this desktop: "shift+cmd+space" gives "Ctrl+Shift+Space".
// Nothing when the string does not parse.
std::optional<QString> hotkeyKeyCapsText(const QString &string);

// The line that binds the configured shortcut to `snipbrook popup` in sway's configuration, for
// desktops where programs cannot take keys: "shift+cmd+space" gives
// "bindsym ctrl+shift+space exec snipbrook popup" ("ctrl" is Super, mod4; "opt" is Alt, mod1).
// Nothing when the string does not parse.
std::optional<QString> swayBindingLine(const QString &string);

// The toolkit's names for a parsed hot key: "cmd" is Control, "ctrl" is Meta (Super), "opt" Alt.
std::optional<Qt::Key> qtKey(quint16 keyCode);
// The other way: the key code of one of the hot key strings' keys; nothing for other keys.
std::optional<quint16> keyCodeOf(Qt::Key key);
Qt::KeyboardModifiers qtModifiers(quint32 mask);
// The other way, for the modifiers held at a press; other modifiers are ignored.
quint32 modifierMask(Qt::KeyboardModifiers modifiers);

} // namespace snipbrook::hotkey
