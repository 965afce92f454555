#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QToolButton;

namespace snipbrook {

class HotkeyRecorder;

// The shortcut control of the settings window: a field that starts recording when clicked and
// shows the recorder's state (key caps of the value, "Click to set", or the live "Press keys..."
// with the modifiers held), and a clear button next to it. A rejected recording raises an alert.
// The recorder (not owned) holds the value and the rules; this only draws it and forwards clicks.
class HotkeyRecorderField : public QWidget {
    Q_OBJECT
public:
    // Shows the rejection ("Invalid Hotkey", the message, an "OK" button). The default opens a
    // window-modal message box without blocking; tests put a recorder of calls in its place.
    using Alert = std::function<void(QWidget *parent, const QString &title, const QString &message)>;

    explicit HotkeyRecorderField(HotkeyRecorder *recorder, QWidget *parent = nullptr);
    // A recording still running ends with the view.
    ~HotkeyRecorderField() override;

    void setAlert(Alert alert);

    // The clickable field (accessible name "Global Search Hotkey") and the clear button.
    QWidget *field() const { return m_field; }
    QToolButton *clearButton() const { return m_clearButton; }

    // One key cap per piece of a hot key string, in this desktop's words: "shift+cmd+space" gives
    // Ctrl, Shift, Space.
    static QStringList keyCaps(const QString &hotkeyString);
    // The held modifiers (hot key masks) in this desktop's words: "Ctrl+Shift".
    static QString modifierText(quint32 modifiers);

protected:
    // Closing the window ends a recording, which would otherwise keep the whole keyboard.
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refresh();

    QPointer<HotkeyRecorder> m_recorder;
    QWidget *m_field = nullptr;
    QToolButton *m_clearButton = nullptr;
    Alert m_alert;
};

} // namespace snipbrook
