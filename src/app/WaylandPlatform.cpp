#include "DesktopPlatform.h"

#include "model/Diagnostics.h"
#include "platform/DesktopBoundShortcut.h"
#include "platform/linux/PortalGlobalShortcut.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/DataControlProtocol.h"
#include "platform/wayland/OwnAppId.h"
#include "platform/wayland/WaylandActiveWindow.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandToplevels.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "platform/wayland/WtypeKeySynthesizer.h"
#include "system/WindowKeyCapture.h"

#include <QDBusConnection>

namespace snipbrook {

namespace {

// The clipboard through data-control and the windows through foreign-toplevel, on a connection
// of our own; the keystroke of a paste through wtype. Keys cannot be grabbed: the desktop's
// shortcut portal where there is one, else the user binds `snipbrook popup` in the compositor.
class WaylandPlatform final : public DesktopPlatform {
public:
    explicit WaylandPlatform(std::unique_ptr<WaylandConnection> connection)
        : m_connection(std::move(connection)),
          m_pasteboard(*m_connection),
          m_toplevels(*m_connection),
          m_workspace(m_toplevels.list())
    {
    }

    bool isUsable() const { return m_connection->isValid() && m_pasteboard.isAvailable(); }

    SessionKind kind() const override { return SessionKind::wayland; }
    Pasteboard &pasteboard() override { return m_pasteboard; }
    Workspace &workspace() override { return m_workspace; }
    bool watchesClipboard() const override { return isUsable(); }

    QString clipboardStatus() const override
    {
        return QStringLiteral("watching Wayland display ") + qEnvironmentVariable("WAYLAND_DISPLAY") +
               QStringLiteral(" (") + chooseDataControl(m_connection->globals()).interfaceName() + QLatin1Char(')');
    }

    QString desktopNotice() const override
    {
        if (m_toplevels.isAvailable())
            return {};
        return QStringLiteral("This compositor does not tell programs which window is in front, so copies are "
                              "recorded without their application and a paste goes to the window in front.");
    }

    std::unique_ptr<KeySynthesizer> makeKeySynthesizer() override
    {
        return std::make_unique<WtypeKeySynthesizer>(*m_connection);
    }
    std::unique_ptr<ActiveWindow> makeActiveWindow() override
    {
        return std::make_unique<WaylandActiveWindow>(m_toplevels);
    }
    std::unique_ptr<GlobalShortcut> makeGlobalShortcut() override
    {
        if (PortalGlobalShortcut::isOffered(QDBusConnection::sessionBus()))
            return std::make_unique<PortalGlobalShortcut>();
        return std::make_unique<DesktopBoundShortcut>();
    }
    std::unique_ptr<KeyCapture> makeKeyCapture() override { return std::make_unique<WindowKeyCapture>(); }
    // Every Wayland compositor blends windows.
    bool compositorRunning() const override { return true; }

    void onOtherWindowActivated(QObject *context, std::function<void()> handler) override
    {
        // Only a change of the activated window counts: titles and other windows' states change
        // the list too.
        const std::optional<Toplevel> now = m_toplevels.list().activated();
        auto last = std::make_shared<quint64>(now ? now->id : 0);
        QObject::connect(&m_toplevels, &WaylandToplevels::changed, context, [this, last, handler] {
            const std::optional<Toplevel> active = m_toplevels.list().activated();
            const quint64 id = active ? active->id : 0;
            if (id == *last)
                return;
            *last = id;
            if (active && !snipbrookAppIds().contains(active->appId))
                handler();
        });
    }

private:
    std::unique_ptr<WaylandConnection> m_connection;
    DataControlPasteboard m_pasteboard;
    WaylandToplevels m_toplevels;
    WaylandWorkspace m_workspace;
};

} // namespace

std::unique_ptr<DesktopPlatform> makeWaylandPlatform()
{
    auto connection = std::make_unique<WaylandConnection>();
    if (!connection->isValid()) {
        diag(QStringLiteral("⚠️ Wayland: ") + connection->failureReason());
        return nullptr;
    }
    auto platform = std::make_unique<WaylandPlatform>(std::move(connection));
    // The pasteboard has said why in the log.
    if (!platform->isUsable())
        return nullptr;
    return platform;
}

} // namespace snipbrook
