#pragma once

#include <QString>

namespace snipbrook {

// The application's informational messages, worded for a Linux desktop. `shortcut` is the
// configured global shortcut as people read it ("Ctrl+Shift+Space").
namespace messages {

QString helpTitle();
QString helpText(const QString &shortcut);

QString welcomeTitle();
QString welcomeText(const QString &shortcut);
QString welcomeDismissButton();
QString welcomeAutoStartButton();

// Shown once when the session cannot send keystrokes, so pasting cannot work.
QString pasteUnavailableTitle();
// Why pasting cannot work in this session: on X11, or on Wayland.
QString pasteUnavailableText(bool wayland = false);

} // namespace messages
} // namespace snipbrook
