#pragma once

#include <QObject>
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
    // `hotkeyString` is the value shown before anything is recorded.
    explicit HotkeyRecorder(QString hotkeyString = {}, QObject *parent = nullptr);
    ~HotkeyRecorder() override;

    QString hotkeyString() const { return m_hotkeyString; }
    // Sets the value without validating it (the settings window's copy of the configuration).
    void setHotkeyString(const QString &hotkeyString);
    bool isRecording() const { return m_recording; }
    // The modifiers held while recording, as hot key modifier masks (see HotkeyString.h).
    quint32 currentModifiers() const { return m_currentModifiers; }
    std::optional<QString> validationMessage() const { return m_validationMessage; }

    void startRecording();
    void stopRecording();

    // (valid, message); the message is empty when valid.
    static std::pair<bool, QString> validateHotkey(const QString &string);
    // The modifier words in their fixed order and the key name, joined by "+"; the modifier words
    // alone when the key has no name; nothing without either.
    static std::optional<QString> buildHotkeyString(quint32 modifiers, const std::optional<QString> &keyName);

signals:
    void recordingChanged(bool recording);
    void currentModifiersChanged(quint32 modifiers);
    // A recorded string passed validation and is now hotkeyString().
    void hotkeyAccepted(const QString &hotkeyString);
    // A recorded string failed validation; hotkeyString() is unchanged.
    void hotkeyRejected(const QString &message);

private:
    QString m_hotkeyString;
    bool m_recording = false;
    quint32 m_currentModifiers = 0;
    std::optional<QString> m_validationMessage;
};

} // namespace snipbrook
