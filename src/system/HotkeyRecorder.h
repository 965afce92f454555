#pragma once

#include "platform/KeyCapture.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <utility>

namespace snipbrook {

// The rules of recording a new global shortcut: a click starts recording, the next key that is
// not a modifier (with the modifiers held then) becomes a hot key string, which is validated and
// accepted or rejected. Key events come in from the platform's key capture (see recordKeyPress);
// the widget only draws this state. Main thread only.
class HotkeyRecorder : public QObject {
    Q_OBJECT
public:
    // `hotkeyString` is the value shown before anything is recorded. Without a key capture the
    // owner feeds the key events itself (recordKeyPress, recordModifiersChanged).
    explicit HotkeyRecorder(QString hotkeyString = {}, QObject *parent = nullptr);
    // `capture` (not owned, may be null) is started while recording and feeds the key events;
    // losing it ends the recording.
    HotkeyRecorder(KeyCapture *capture, QString hotkeyString, QObject *parent = nullptr);
    // Ends a recording in progress, giving the keyboard back.
    ~HotkeyRecorder() override;

    QString hotkeyString() const { return m_hotkeyString; }
    // Sets the value without validating it (the settings window's copy of the configuration).
    void setHotkeyString(const QString &hotkeyString);
    // The clear button: the value becomes "" and hotkeyCleared() tells the owner.
    void clearHotkey();
    bool isRecording() const { return m_recording; }
    // The modifiers held while recording, as hot key modifier masks (see HotkeyString.h).
    quint32 currentModifiers() const { return m_currentModifiers; }
    std::optional<QString> validationMessage() const { return m_validationMessage; }

    // Ignored while recording.
    void startRecording();
    // Nothing happens when not recording.
    void stopRecording();

    // The key capture's events; ignored when not recording. `modifiers` are hot key masks.
    void recordModifiersChanged(quint32 modifiers);
    void recordKeyPress(const CapturedKey &key);

    // (valid, message); the message is empty when valid.
    static std::pair<bool, QString> validateHotkey(const QString &string);
    // The modifier words in their fixed order and the key name, joined by "+"; the modifier words
    // alone when the key has no name; nothing without either.
    static std::optional<QString> buildHotkeyString(quint32 modifiers, const std::optional<QString> &keyName);
    // The name of a named key's code, else the printable character it types (at most four UTF-16
    // units), else nothing.
    static std::optional<QString> keyName(const CapturedKey &key);

signals:
    void recordingChanged(bool recording);
    void currentModifiersChanged(quint32 modifiers);
    // A recorded string passed validation and is now hotkeyString().
    void hotkeyAccepted(const QString &hotkeyString);
    // A recorded string failed validation; hotkeyString() is unchanged.
    void hotkeyRejected(const QString &message);
    // The clear button emptied the value.
    void hotkeyCleared();
    // hotkeyString() changed, whichever way (for redrawing).
    void hotkeyStringChanged(const QString &hotkeyString);

private:
    void setCurrentModifiers(quint32 modifiers);

    QPointer<KeyCapture> m_capture;
    QString m_hotkeyString;
    bool m_recording = false;
    quint32 m_currentModifiers = 0;
    std::optional<QString> m_validationMessage;
};

} // namespace snipbrook
