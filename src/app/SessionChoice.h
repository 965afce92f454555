#pragma once

#include <QString>

namespace snipbrook {

// Which display server the instance works through.
enum class SessionKind { none, x11, wayland };

// What the choice is made from: the session's environment.
struct SessionEnvironment {
    QString waylandDisplay; // $WAYLAND_DISPLAY
    QString x11Display;     // $DISPLAY
    QString requested;      // $SNIPBROOK_PLATFORM: "x11", "wayland" or empty
    QString currentDesktop; // $XDG_CURRENT_DESKTOP, for the messages
    static SessionEnvironment fromProcess();
};

struct SessionChoice {
    SessionKind kind = SessionKind::none;
    // A log line to print once (an override that cannot be followed, no display at all), or empty.
    QString warning;
    // For the settings window: what the desktop keeps from us, in its user's words; or empty.
    QString notice = {};
};

// Wayland when the session has a Wayland display, X11 when it has only an X display;
// $SNIPBROOK_PLATFORM picks one where both are there (XWayland).
SessionChoice chooseSession(const SessionEnvironment &environment);

// When the Wayland compositor gives programs no access to the clipboard (GNOME's does not offer
// data-control): the X display of XWayland when there is one, so copies in X11 applications are
// still captured. The warning says what is lost.
SessionChoice withoutDataControl(const SessionEnvironment &environment);

} // namespace snipbrook
