// Anchors the moc output of the interface headers in this library.
#include "Pasteboard.h"
