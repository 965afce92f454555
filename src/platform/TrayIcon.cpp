// Anchors the moc output of the tray interface.
#include "TrayIcon.h"
