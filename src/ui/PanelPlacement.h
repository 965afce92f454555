#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace snipbrook {

// Where the panel's window goes: under the tray icon when its place is known (above it when the
// tray sits at the bottom), else with its top-left corner at the pointer (flipped left or up
// where the screen ends), and always with the panel's content fully inside `available`.
// `margin` is the transparent border around the content that may hang off the screen.
QPoint panelPosition(QSize window, int margin, const std::optional<QRect> &anchor, QPoint pointer,
                     const QRect &available);

} // namespace snipbrook
