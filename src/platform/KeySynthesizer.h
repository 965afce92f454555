#pragma once

#include <QKeySequence>
#include <QString>

namespace snipbrook {

// One key pressed with modifiers held, as a paste sends it (Ctrl+V, Ctrl+Shift+V, Shift+Insert).
struct KeyChord {
    Qt::KeyboardModifiers modifiers;
    Qt::Key key = Qt::Key_unknown;

    bool operator==(const KeyChord &) const = default;
    // "Ctrl+Shift+V", for log lines.
    QString toString() const { return QKeySequence(modifiers | key).toString(QKeySequence::PortableText); }
};

// Synthetic key input to whichever window has the keyboard focus.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // Keys can be sent at all (on X11: the display offers the XTest extension).
    virtual bool isAvailable() const = 0;
    // While keys cannot be sent: why, for the log line ("the X display has no XTest extension"),
    // and what the user is told, the item having been copied instead.
    virtual QString unavailableReason() const = 0;
    virtual QString unavailableAdvice() const = 0;
    // Presses the chord and releases it shortly after, without blocking the caller. Modifiers the
    // user still holds that the chord does not name are let go first, so they do not change the
    // chord. False when nothing could be sent.
    virtual bool sendChord(const KeyChord &chord) = 0;
    // The modifier keys (Shift, Control, Alt, Meta) held down right now.
    virtual Qt::KeyboardModifiers heldModifiers() const = 0;
};

} // namespace snipbrook
