#include "SessionChoice.h"

namespace snipbrook {

SessionEnvironment SessionEnvironment::fromProcess()
{
    return {qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("DISPLAY"),
            qEnvironmentVariable("SNIPBROOK_PLATFORM").trimmed().toLower(), qEnvironmentVariable("XDG_CURRENT_DESKTOP")};
}

SessionChoice chooseSession(const SessionEnvironment &environment)
{
    const bool hasWayland = !environment.waylandDisplay.isEmpty();
    const bool hasX11 = !environment.x11Display.isEmpty();
    QString warning;
    if (environment.requested == QLatin1String("wayland")) {
        if (hasWayland)
            return {SessionKind::wayland, {}};
        warning = QStringLiteral("⚠️ SNIPBROOK_PLATFORM=wayland, but WAYLAND_DISPLAY is not set");
    } else if (environment.requested == QLatin1String("x11")) {
        if (hasX11)
            return {SessionKind::x11, {}};
        warning = QStringLiteral("⚠️ SNIPBROOK_PLATFORM=x11, but DISPLAY is not set");
    } else if (!environment.requested.isEmpty()) {
        warning = QStringLiteral("⚠️ SNIPBROOK_PLATFORM=") + environment.requested +
                  QStringLiteral(" is not one of x11 or wayland; choosing by the session");
    }
    if (hasWayland)
        return {SessionKind::wayland, warning};
    if (hasX11)
        return {SessionKind::x11, warning};
    if (!warning.isEmpty())
        warning += QLatin1String("; ");
    else
        warning = QStringLiteral("⚠️ ");
    warning += QStringLiteral("No display (neither WAYLAND_DISPLAY nor DISPLAY is set), clipboard capture is off: "
                              "the command line still works");
    return {SessionKind::none, warning};
}

SessionChoice withoutDataControl(const SessionEnvironment &environment)
{
    const QString desktop =
        environment.currentDesktop.isEmpty() ? QStringLiteral("This Wayland desktop") : environment.currentDesktop;
    const QString lost = desktop + QStringLiteral(" gives programs no access to the clipboard (no data-control "
                                                  "protocol), so copies made in Wayland applications are not captured");
    const QString notice = desktop + QStringLiteral(" does not let other programs see the clipboard of Wayland "
                                                    "applications. Snipbrook records copies made in X11 "
                                                    "applications and through its command line only.");
    if (!environment.x11Display.isEmpty())
        return {SessionKind::x11,
                QStringLiteral("⚠️ ") + lost +
                    QStringLiteral("; copies in X11 applications are, through XWayland. The command line works "
                                   "everywhere"),
                notice};
    return {SessionKind::none,
            QStringLiteral("⚠️ ") + lost +
                QStringLiteral(", and there is no X display either: clipboard capture is off. The command line still "
                               "works"),
            notice};
}

} // namespace snipbrook
