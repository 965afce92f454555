#pragma once

#include "platform/KeySynthesizer.h"

#include <QObject>
#include <QStringList>

#include <optional>

namespace snipbrook {

class WaylandConnection;

// The wtype arguments that press the chord and let it go ("-M ctrl -k v -m ctrl"); nothing for
// a key or modifier wtype cannot name.
std::optional<QStringList> wtypeArguments(const KeyChord &chord);

// Key input on Wayland through the wtype program, which types on a virtual keyboard of its own
// (zwp_virtual_keyboard_manager_v1). Each chord runs wtype once, without waiting for it; a
// failure is logged when it ends. The virtual keyboard has modifiers of its own, so what the
// user holds on theirs does not change the chord, and what they hold cannot be read at all.
// Main thread only.
class WtypeKeySynthesizer : public QObject, public KeySynthesizer {
    Q_OBJECT
public:
    struct Options {
        // A name looked up in $PATH, or a path.
        QString program = QStringLiteral("wtype");
    };

    // Whether the compositor announced the virtual-keyboard protocol wtype needs.
    static bool offersVirtualKeyboard(const WaylandConnection &connection);

    explicit WtypeKeySynthesizer(const WaylandConnection &connection, QObject *parent = nullptr);
    WtypeKeySynthesizer(bool compositorOffersVirtualKeyboard, Options options, QObject *parent = nullptr);

    bool isAvailable() const override;
    QString unavailableReason() const override;
    QString unavailableAdvice() const override;
    bool sendChord(const KeyChord &chord) override;
    Qt::KeyboardModifiers heldModifiers() const override { return Qt::NoModifier; }

private:
    QString programPath() const;

    const bool m_virtualKeyboard;
    const Options m_options;
};

} // namespace snipbrook
