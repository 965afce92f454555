#include "DesktopPlatform.h"

#include "platform/linux/X11ActiveWindow.h"
#include "platform/linux/X11GlobalShortcut.h"
#include "platform/linux/X11KeyCapture.h"
#include "platform/linux/X11Pasteboard.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeySynthesizer.h"

namespace snipbrook {

namespace {

class X11Platform final : public DesktopPlatform {
public:
    X11Platform(bool displayReachable, const QString &xwaylandNotice)
        : m_reachable(displayReachable), m_notice(xwaylandNotice)
    {
    }

    SessionKind kind() const override { return SessionKind::x11; }
    Pasteboard &pasteboard() override { return m_pasteboard; }
    Workspace &workspace() override { return m_workspace; }
    bool watchesClipboard() const override { return m_reachable; }
    QString clipboardStatus() const override
    {
        if (m_notice.isEmpty())
            return {};
        return QStringLiteral("watching X11 display ") + qEnvironmentVariable("DISPLAY") +
               QStringLiteral(" through XWayland only: copies in Wayland applications are not seen");
    }
    QString desktopNotice() const override { return m_notice; }

    std::unique_ptr<KeySynthesizer> makeKeySynthesizer() override { return std::make_unique<XTestKeySynthesizer>(); }
    std::unique_ptr<ActiveWindow> makeActiveWindow() override { return std::make_unique<X11ActiveWindow>(); }
    std::unique_ptr<GlobalShortcut> makeGlobalShortcut() override { return std::make_unique<X11GlobalShortcut>(); }
    std::unique_ptr<KeyCapture> makeKeyCapture() override { return std::make_unique<X11KeyCapture>(); }
    bool compositorRunning() const override { return X11ActiveWindow().compositorRunning(); }

private:
    bool m_reachable;
    QString m_notice;
    X11Pasteboard m_pasteboard;
    X11Workspace m_workspace;
};

} // namespace

std::unique_ptr<DesktopPlatform> makeX11Platform(bool displayReachable, const QString &xwaylandNotice)
{
    return std::make_unique<X11Platform>(displayReachable, xwaylandNotice);
}

} // namespace snipbrook
