#pragma once

#include "SessionChoice.h"

#include <QObject>
#include <QString>

#include <functional>

#include <memory>

namespace snipbrook {

class ActiveWindow;
class GlobalShortcut;
class KeyCapture;
class KeySynthesizer;
class Pasteboard;
class Workspace;

// The desktop services of the session the instance runs in, X11 or Wayland, behind the platform
// interfaces. The clipboard and the applications are there from the start; the services of the
// shortcut, the tray and the windows are made with the desktop shell, once the history is listed.
class DesktopPlatform {
public:
    virtual ~DesktopPlatform() = default;

    virtual SessionKind kind() const = 0;
    virtual Pasteboard &pasteboard() = 0;
    virtual Workspace &workspace() = 0;
    // The clipboard is really watched (there is a display, and it lets us).
    virtual bool watchesClipboard() const = 0;
    // What `snipbrook status` says after "Clipboard: "; empty for the default X11 wording.
    virtual QString clipboardStatus() const { return {}; }
    // What this desktop keeps from us, for the settings window; empty when nothing.
    virtual QString desktopNotice() const { return {}; }

    virtual std::unique_ptr<KeySynthesizer> makeKeySynthesizer() = 0;
    virtual std::unique_ptr<ActiveWindow> makeActiveWindow() = 0;
    virtual std::unique_ptr<GlobalShortcut> makeGlobalShortcut() = 0;
    virtual std::unique_ptr<KeyCapture> makeKeyCapture() = 0;
    // A compositor blends windows, so ours may be translucent.
    virtual bool compositorRunning() const = 0;
    // Calls `handler` on the main thread, while `context` lives, whenever the desktop gives the
    // focus to a window of another program; nothing where the desktop does not say (X11 tells
    // our windows themselves).
    virtual void onOtherWindowActivated(QObject *context, std::function<void()> handler)
    {
        Q_UNUSED(context);
        Q_UNUSED(handler);
    }
};

// The X11 services; without a display they exist but watch nothing. `xwaylandNotice` says what
// is lost when X11 stands in for a Wayland compositor that keeps the clipboard to itself.
std::unique_ptr<DesktopPlatform> makeX11Platform(bool displayReachable, const QString &xwaylandNotice = {});
// The Wayland services on a connection of our own, or nothing when the compositor cannot be
// reached or gives programs no access to the clipboard (the reason goes to the log).
std::unique_ptr<DesktopPlatform> makeWaylandPlatform();

} // namespace snipbrook
