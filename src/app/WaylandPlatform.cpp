#include "DesktopPlatform.h"

#include "model/Diagnostics.h"

namespace snipbrook {

std::unique_ptr<DesktopPlatform> makeWaylandPlatform(const SessionEnvironment &)
{
    diag(QStringLiteral("⚠️ Wayland: the clipboard services are not built yet"));
    return nullptr;
}

} // namespace snipbrook
