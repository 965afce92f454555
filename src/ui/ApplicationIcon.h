#pragma once

#include <QIcon>

namespace snipbrook {

// Snipbrook's own icon (windows, the tray), in every size it was rendered at; a drawing made for
// small sizes stands in below 32 pixels so it stays legible in panels.
QIcon applicationIcon();

} // namespace snipbrook
