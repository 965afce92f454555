// Anchors the moc output of the interface headers in this library.
#include "GlobalShortcut.h"
#include "Pasteboard.h"
