#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace snipbrook {

class ApplicationState;
class Clock;
class DesktopPlatform;
class Preferences;

// The program's presence on the desktop: the global shortcut, the tray icon and its menu, the
// quick-access panel and pasting into the window that was in front. Built only with a display.
class DesktopShell : public QObject {
    Q_OBJECT
public:
    // The references must outlive the shell.
    DesktopShell(ApplicationState &state, DesktopPlatform &platform, const Clock &clock, Preferences &preferences,
                 QObject *parent = nullptr);
    ~DesktopShell() override;

    // Remembers the window in front, for a paste, and opens the panel: under the tray icon when
    // its place is known, otherwise at the pointer.
    void showQuickAccess();
    bool isQuickAccessVisible() const;

    // Shows the main window (unless `startHidden`: started at login, straight to the tray) and
    // runs the start-up decisions once (background start, the one-time messages, the update check).
    void startMainWindow(bool startHidden = false);
    // Through the tray menu's manager, so its "Show/Hide Main Window" entry stays in step.
    void showMainWindow();
    void hideMainWindow();
    bool isMainWindowVisible() const;
    // Opens the settings window (built on first use) in front.
    void showSettings();

    // "Global shortcut: ..." and "Tray: ..." lines for `snipbrook status`.
    QString statusLines() const;

private:
    // The grid of cards in the main window, fed from the window's view-model.
    void hostCardGrid(ApplicationState &state, const Clock &clock);

    struct Parts;
    ApplicationState &m_state;
    std::unique_ptr<Parts> m_parts;
};

} // namespace snipbrook
