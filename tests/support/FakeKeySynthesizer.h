#pragma once

#include "platform/KeySynthesizer.h"

#include <QList>

namespace snipbrook::test {

// Records the chords sent; the test holds and releases modifier keys.
class FakeKeySynthesizer : public KeySynthesizer {
public:
    bool available = true;
    bool failSends = false;
    Qt::KeyboardModifiers held;
    QList<KeyChord> sent;
    // What was held when each chord went.
    QList<Qt::KeyboardModifiers> heldWhenSent;
    mutable int modifierQueries = 0;

    bool isAvailable() const override { return available; }
    QString unavailableReason() const override { return QStringLiteral("this test sends no keys"); }
    QString unavailableAdvice() const override { return QStringLiteral("Pasting needs keys this test does not send"); }
    bool sendChord(const KeyChord &chord) override
    {
        if (failSends)
            return false;
        sent.append(chord);
        heldWhenSent.append(held);
        return true;
    }
    Qt::KeyboardModifiers heldModifiers() const override
    {
        ++modifierQueries;
        return held;
    }
};

} // namespace snipbrook::test
