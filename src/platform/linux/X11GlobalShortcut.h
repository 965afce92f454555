#pragma once

#include "XcbConnection.h"
#include "platform/GlobalShortcut.h"

#include <QList>

#include <optional>

class QSocketNotifier;

namespace snipbrook {

// The global shortcut as a passive key grab on the root window, made on an X connection of our
// own that the main thread reads. Grabs match modifiers exactly, so the combination is grabbed
// once for every state of the lock keys (Caps Lock, Num Lock, Scroll Lock where it is a modifier).
// Without a display it stays inert and every registration fails with `noDisplay`.
class X11GlobalShortcut : public GlobalShortcut {
    Q_OBJECT
public:
    // An empty name means $DISPLAY.
    explicit X11GlobalShortcut(const QString &displayName = {}, QObject *parent = nullptr);
    // Releases the grab.
    ~X11GlobalShortcut() override;

    bool isConnected() const { return m_connection.isValid(); }

    int registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers) override;
    void unregisterShortcut() override;
    Qt::KeyboardModifiers heldModifiers() const override;

private:
    struct KeyGrab {
        xcb_keycode_t keycode = 0;
        uint16_t modifiers = 0;
        bool operator==(const KeyGrab &) const = default;
    };
    struct Registration {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QList<KeyGrab> grabs;
    };
    // Which of Mod1..Mod5 the keyboard map gives these keys.
    struct ModifierBits {
        uint16_t alt = XCB_MOD_MASK_1;
        uint16_t super = XCB_MOD_MASK_4;
        uint16_t numLock = XCB_MOD_MASK_2;
        uint16_t scrollLock = 0;
    };

    uint16_t modifierMask(Qt::KeyboardModifiers modifiers) const;
    void ungrab(const QList<KeyGrab> &grabs, const QList<KeyGrab> &keep);
    void readEvents();
    // Round trips may have queued events the socket notifier will not announce again.
    void scheduleRead() const;

    XcbConnection m_connection;
    QSocketNotifier *m_notifier = nullptr;
    ModifierBits m_bits;
    std::optional<Registration> m_registration;
};

} // namespace snipbrook
