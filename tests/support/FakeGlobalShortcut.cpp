#include "FakeGlobalShortcut.h"

namespace snipbrook::test {

int FakeGlobalShortcut::registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    requests.append({key, modifiers});
    if (nextStatus == success)
        registered = Combination{key, modifiers};
    return nextStatus;
}

void FakeGlobalShortcut::unregisterShortcut()
{
    ++unregistrations;
    registered.reset();
}

void FakeGlobalShortcut::press(Qt::KeyboardModifiers heldNow)
{
    held = heldNow;
    emit pressed();
}

} // namespace snipbrook::test
