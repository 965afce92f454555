#pragma once

#include "PasteKeystroke.h"
#include "model/ClipboardItem.h"
#include "platform/ActiveWindow.h"
#include "platform/KeySynthesizer.h"
#include "platform/Notifier.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

namespace snipbrook {

class ClipboardManager;
class Pasteboard;

// The pacing of a paste; tests shorten it.
struct PasteTimings {
    // After the copy: the window asked for has this long to become active before it is asked
    // again; the keystroke goes at the latest `keystrokeBoundMs` after that.
    int activationBoundMs = 220;
    int keystrokeBoundMs = 280;
    // How often the window and the modifier keys are looked at meanwhile.
    int pollIntervalMs = 5;
};

// Pastes a history item into the window the user was working in: remembers that window when
// the quick-access panel or the tray menu opens, and on paste copies the item, switches back to
// the window and sends the paste keystroke the window understands as soon as it is active and
// the user has let go of the modifier keys (Shift is still down after Shift+Return), at the
// latest when the bounds run out. Main thread only; nothing here waits.
class PasteController : public QObject {
    Q_OBJECT
public:
    // Every reference must outlive the controller.
    PasteController(ClipboardManager &clipboardManager, Pasteboard &pasteboard, KeySynthesizer &keys,
                    ActiveWindow &windows, Notifier &notifier, PasteTimings timings = {},
                    QObject *parent = nullptr);

    // Takes the active window as the paste target; every way of opening the panel or the menu
    // calls it before showing anything.
    void rememberTarget();
    // The window class of Snipbrook's own windows.
    static constexpr QLatin1StringView ownWindowClass{"Snipbrook"};
    const std::optional<WindowIdentity> &target() const { return m_target; }

    // Copies the item, then pastes it into the remembered window (or whatever is in front when
    // none was remembered). A paste still waiting is dropped for the new one.
    void paste(const ClipboardItem &item);
    bool isPasting() const { return m_pending.has_value(); }

signals:
    // The item is on the clipboard and the switch back begins: the panel closes now.
    void switchingBack();
    // The paste ended: the keystroke went (true), or it could not be sent (false).
    void finished(bool keystrokeSent);

private:
    struct Pending {
        std::optional<WindowIdentity> target;
        ClipboardItem item;
        QElapsedTimer sinceCopy;
        bool askedAgain = false;
    };

    void copied(quint64 generation, const ClipboardItem &item, bool written);
    void poll();
    void send();
    void abandon(const QString &line);

    ClipboardManager &m_clipboardManager;
    Pasteboard &m_pasteboard;
    KeySynthesizer &m_keys;
    ActiveWindow &m_windows;
    Notifier &m_notifier;
    const PasteTimings m_timings;

    std::optional<WindowIdentity> m_target;
    std::optional<Pending> m_pending;
    // Bumped by each paste, so the copy of a superseded one does not go on.
    quint64 m_generation = 0;
    QTimer m_poll;
};

} // namespace snipbrook
