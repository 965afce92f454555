#pragma once

#include "platform/GlobalShortcut.h"

#include <QList>

#include <optional>

namespace snipbrook::test {

// A shortcut service the test drives: it answers registrations with `nextStatus`, remembers
// what is registered and presses on request.
class FakeGlobalShortcut : public GlobalShortcut {
public:
    struct Combination {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const Combination &) const = default;
    };

    int nextStatus = success;
    Qt::KeyboardModifiers held;
    // Every registration asked for, refused ones included.
    QList<Combination> requests;
    std::optional<Combination> registered;
    int unregistrations = 0;

    int registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers) override;
    void unregisterShortcut() override;
    Qt::KeyboardModifiers heldModifiers() const override { return held; }

    // The platform's press notification, with these modifiers held from now on.
    void press(Qt::KeyboardModifiers heldNow);
};

} // namespace snipbrook::test
