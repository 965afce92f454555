#include "DesktopBoundShortcut.h"

#include "XkbKeyNames.h"

namespace snipbrook {

int DesktopBoundShortcut::registerShortcut(Qt::Key key, Qt::KeyboardModifiers)
{
    // A key no compositor binding can name is the same refusal as elsewhere.
    return xkbKeyName(key) ? boundByDesktop : keyUnavailable;
}

} // namespace snipbrook
