#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace snipbrook {

// One key press seen while the keyboard is captured.
struct CapturedKey {
    // The classic Mac virtual key code of the keys that have no printable character (Space,
    // Return, Tab, Backspace ("delete"), Delete ("forwarddelete"), Escape, the arrows, F1 to F12)
    // and of the modifier keys; nothing for the others.
    std::optional<quint16> keyCode;
    // What the key types on the current layout with no modifier held; empty when nothing
    // printable.
    QString text;
    // The modifiers held at the press (not counting this key).
    Qt::KeyboardModifiers modifiers;
};

// Takes the whole keyboard for a moment (while a shortcut is being recorded), so that presses
// reach us whichever window has the focus and no other program acts on them. Events arrive on
// the main thread.
//
// Modifiers use the toolkit's portable names, as GlobalShortcut does: ControlModifier is the key
// the configuration calls "cmd", MetaModifier (Super) the one it calls "ctrl", AltModifier "opt".
class KeyCapture : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~KeyCapture() override = default;

    // Starts capturing. On refusal returns false after emitting captureLost().
    virtual bool start() = 0;
    // Gives the keyboard back; nothing happens when not capturing.
    virtual void stop() = 0;
    virtual bool isCapturing() const = 0;

signals:
    void keyPressed(const snipbrook::CapturedKey &key);
    // The modifiers held now, after a modifier key went down or up.
    void modifiersChanged(Qt::KeyboardModifiers modifiers);
    // The keyboard could not be taken, or was taken away; capturing has stopped.
    void captureLost(const QString &reason);
};

} // namespace snipbrook
