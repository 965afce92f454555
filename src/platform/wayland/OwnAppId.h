#pragma once

#include <QStringList>

namespace snipbrook {

// The app ids our own windows may carry: the one Qt gives them (the desktop file name when set,
// else the program's name after the reversed organisation domain), the desktop entry's id, and
// the X11 class our windows carry under XWayland.
// The window list names no process, so this is how our windows are told apart.
QStringList snipbrookAppIds();

} // namespace snipbrook
