#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace snipbrook {

class Preferences;

// Delays of the start-up; tests shorten them.
struct StartupTimings {
    int hideDelayMs = 500;     // a background start: the window shows this long, then goes to the tray
    int welcomeDelayMs = 1000; // the welcome message waits for the window to settle
};

// The decisions made once when the main window first shows: whether it goes to the tray at once,
// the one-time welcome and the one-time message about pasting (only when keystrokes cannot be
// sent), and the background update check. The windows and managers come in as hooks, so the
// decisions are tested without a display.
class StartupFlow : public QObject {
    Q_OBJECT
public:
    static constexpr QLatin1StringView startInBackgroundKey{"startInBackground"};
    static constexpr QLatin1StringView hasShownWelcomeKey{"hasShownWelcome"};
    static constexpr QLatin1StringView hasPromptedForAccessibilityKey{"hasPromptedForAccessibility"};

    struct Hooks {
        // Hides the main window to the tray (no taskbar entry while hidden).
        std::function<void()> hideMainWindow;
        // Shows the welcome message; calls `closed` with whether "Enable Auto-Start" was chosen.
        std::function<void(std::function<void(bool enableAutoStart)> closed)> showWelcome;
        std::function<void()> enableAutoStart;
        // Says that pasting cannot work in this session.
        std::function<void()> showAccessibilityMessage;
        std::function<void()> checkForUpdates;
    };

    // `preferences` must outlive the flow. `canPaste`: the session can send keystrokes (XTest).
    StartupFlow(Preferences &preferences, bool canPaste, Hooks hooks, StartupTimings timings = {},
                QObject *parent = nullptr);

    // Runs the start-up once; later calls do nothing.
    void run();
    bool hasRun() const { return m_ran; }

private:
    void showWelcome();

    Preferences &m_preferences;
    const bool m_canPaste;
    const Hooks m_hooks;
    const StartupTimings m_timings;
    bool m_ran = false;
};

} // namespace snipbrook
