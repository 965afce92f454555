#pragma once

#include "model/ClipboardItem.h"
#include "platform/MenuModel.h"
#include "platform/TrayIcon.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QUuid>

#include <functional>
#include <optional>

namespace snipbrook {

class ClipboardManager;

// The tray icon and its menu: a left click opens the quick-access panel, the menu holds the five
// newest items (each with Copy, Paste and Delete) and the application's commands. It rebuilds the
// menu when the history's top changes. What lies outside (the panel, the paste sequence,
// notifications, windows) is reached through hooks, so the same menu drives whichever windows
// exist; a hook left empty logs one line instead (or does the plain thing, see below).
class MenuBarManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMainWindowVisible READ isMainWindowVisible NOTIFY isMainWindowVisibleChanged)

public:
    struct Hooks {
        // Remembers the window in front, for a later paste: on a click on the icon and when the
        // menu opens.
        std::function<void()> rememberActiveWindow;
        // Opens the quick-access panel (placed with trayIconGeometry()).
        std::function<void()> showQuickAccess;
        // Copies the item and pastes it into the remembered window. Empty: the item is copied.
        std::function<void(const ClipboardItem &item)> pasteItem;
        // A desktop notification with a short title and a one-sentence body. Empty: none.
        std::function<void(const QString &title, const QString &body)> notify;
        std::function<void()> showMainWindow;
        std::function<void()> hideMainWindow;
        std::function<void()> openSettings;
        // An informational alert with one OK button.
        std::function<void(const QString &message, const QString &informativeText)> showAlert;
        // Ends the program cleanly. Empty: QCoreApplication::exit(0) (not quit(), which first asks every
        // window to close and gives up when the main window hides to the tray instead).
        std::function<void()> quit;
    };

    // The menu offers five items at most.
    static constexpr int recentItemCount = 5;
    // Longer item texts are cut to this many characters (grapheme clusters) and "...".
    static constexpr int titleLength = 50;
    // Edge of an image item's picture in the menu.
    static constexpr int thumbnailSize = 32;

    // Sets up the icon and its menu and shows it; logs one line when no tray is there. Both
    // references must outlive the manager.
    MenuBarManager(ClipboardManager &clipboard, TrayIcon &tray, Hooks hooks, QObject *parent = nullptr);

    // The menu as it stands (the tray has the same).
    const MenuModel &menu() const { return m_menu; }
    bool isMainWindowVisible() const { return m_isMainWindowVisible; }
    // For a main window shown or hidden by other means (start-up in the background).
    void setMainWindowVisible(bool visible);

    bool isTrayPresent() const { return m_tray.isAvailable(); }
    // Where the panel opening from the icon goes, when the tray tells.
    std::optional<QRect> trayIconGeometry() const { return m_tray.geometry(); }

    void showQuickAccess();
    void pasteItem(const ClipboardItem &item);
    void showMainWindow();
    void hideMainWindow();
    void toggleMainWindow();
    void openSettings();
    void clearHistory();
    void showAbout();
    void quitApp();
    void copyItemFromMenu(const ClipboardItem &item);
    void deleteItemFromMenu(const ClipboardItem &item);
    void postNotification(const QString &title, const QString &body);

    // The menu title of an item: "Image" for pictures, else the start of its text.
    static QString itemTitle(const ClipboardItem &item);
    // The About box's informative text.
    static QString aboutText();

signals:
    void isMainWindowVisibleChanged();
    // The menu was rebuilt (changes reach it on the next turn of the event loop).
    void menuChanged();

private:
    void trayClicked(TrayIcon::Click click);
    void trayAvailabilityChanged(bool available);
    // Rebuilds the menu on the next turn of the event loop when what it shows has changed (or
    // anyway, when forced).
    void scheduleRefresh(bool force);
    void refresh(bool force);
    MenuModel buildMenu();
    MenuEntry itemEntry(const ClipboardItem &item);
    // Starts decoding an image item's picture off the main thread; the menu is rebuilt once it is there.
    void requestThumbnail(const ClipboardItem &item);

    ClipboardManager &m_clipboard;
    TrayIcon &m_tray;
    Hooks m_hooks;
    bool m_isMainWindowVisible = true;
    MenuModel m_menu;
    bool m_refreshQueued = false;
    bool m_forceRebuild = false;
    // The ids the menu shows, newest first: the history changes often below them.
    QList<QUuid> m_shownIds;
    // Pictures of the image items in the menu; a null image while decoding or when it failed.
    QHash<QUuid, QImage> m_thumbnails;
};

} // namespace snipbrook
