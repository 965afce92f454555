#pragma once

#include "XcbConnection.h"
#include "platform/KeySynthesizer.h"

#include <QList>
#include <QTimer>

#include <memory>

namespace snipbrook {

// Key input through the XTest extension on a connection of our own: the chord goes down at once
// and comes up `releaseDelayMs` later from the event loop, never from a sleep. Held modifiers
// are read from the server's key map, so keys the user holds count, whoever pressed them.
// Main thread only.
class XTestKeySynthesizer : public KeySynthesizer {
public:
    struct Options {
        // Empty: $DISPLAY.
        QString displayName;
        int releaseDelayMs = 20;
    };

    XTestKeySynthesizer();
    explicit XTestKeySynthesizer(Options options);
    ~XTestKeySynthesizer() override;

    bool isAvailable() const override;
    QString unavailableReason() const override { return QStringLiteral("the X display has no XTest extension"); }
    QString unavailableAdvice() const override
    {
        return QStringLiteral("Pasting into other apps needs an X11 session with the XTest extension");
    }
    bool sendChord(const KeyChord &chord) override;
    Qt::KeyboardModifiers heldModifiers() const override;

private:
    struct HeldKey {
        xcb_keycode_t keycode;
        Qt::KeyboardModifier modifier;
    };

    QList<HeldKey> heldModifierKeys() const;
    void fake(uint8_t type, xcb_keycode_t keycode);
    // Lets go of a chord still down.
    void releasePending();

    std::unique_ptr<XcbConnection> m_connection;
    bool m_hasXTest = false;
    const int m_releaseDelayMs;
    // Key codes to let go of, in order.
    QList<xcb_keycode_t> m_pendingRelease;
    QTimer m_releaseTimer;
};

} // namespace snipbrook
