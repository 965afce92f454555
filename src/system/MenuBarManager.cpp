#include "MenuBarManager.h"
#include "core/BackgroundPool.h"

#include "ItemThumbnail.h"

#include "capture/ClipboardManager.h"
#include "core/Async.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace snipbrook {

namespace {

const QString trayMissingLine = QStringLiteral(
    "⚠️ No system tray found: running without the tray icon (the shortcut and `snipbrook popup` open the panel)");

// Calls the hook, or logs the line when nobody has bound it.
void callOrLog(const std::function<void()> &hook, const QString &line)
{
    if (hook)
        hook();
    else
        diag(line);
}

} // namespace

MenuBarManager::MenuBarManager(ClipboardManager &clipboard, TrayIcon &tray, Hooks hooks, QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_tray(tray), m_hooks(std::move(hooks))
{
    m_tray.setIcon(QStringLiteral("doc.on.clipboard"), QStringLiteral("Snipbrook"));
    m_tray.setToolTip(QStringLiteral("Snipbrook - Smart Clipboard Manager"));
    connect(&m_tray, &TrayIcon::activated, this, &MenuBarManager::trayClicked);
    connect(&m_tray, &TrayIcon::availabilityChanged, this, &MenuBarManager::trayAvailabilityChanged);
    connect(&m_clipboard, &ClipboardManager::clipboardItemsChanged, this, [this] { scheduleRefresh(false); });
    refresh(true);
    // Shown even without a tray: one that starts later picks the icon up.
    m_tray.show();
    if (!m_tray.isAvailable())
        diag(trayMissingLine);
}

void MenuBarManager::setMainWindowVisible(bool visible)
{
    if (m_isMainWindowVisible == visible)
        return;
    m_isMainWindowVisible = visible;
    emit isMainWindowVisibleChanged();
    scheduleRefresh(true);
}

void MenuBarManager::trayClicked(TrayIcon::Click click)
{
    if (m_hooks.rememberActiveWindow)
        m_hooks.rememberActiveWindow();
    if (click == TrayIcon::Click::left)
        showQuickAccess();
}

void MenuBarManager::trayAvailabilityChanged(bool available)
{
    diag(available ? QStringLiteral("✅ System tray found: tray icon shown")
                   : QStringLiteral("⚠️ System tray gone: the tray icon comes back when a tray starts"));
}

void MenuBarManager::showQuickAccess()
{
    callOrLog(m_hooks.showQuickAccess, QStringLiteral("ℹ️ The quick-access panel is not available yet"));
}

void MenuBarManager::pasteItem(const ClipboardItem &item)
{
    if (m_hooks.pasteItem) {
        m_hooks.pasteItem(item);
        return;
    }
    diag(QStringLiteral("⚠️ Paste is not available: the item was copied instead"));
    m_clipboard.setIsInternalCopy(true);
    m_clipboard.copyItem(item);
}

void MenuBarManager::showMainWindow()
{
    setMainWindowVisible(true);
    callOrLog(m_hooks.showMainWindow, QStringLiteral("ℹ️ The main window is not available yet"));
}

void MenuBarManager::hideMainWindow()
{
    setMainWindowVisible(false);
    callOrLog(m_hooks.hideMainWindow, QStringLiteral("ℹ️ The main window is not available yet"));
}

void MenuBarManager::toggleMainWindow()
{
    if (m_isMainWindowVisible)
        hideMainWindow();
    else
        showMainWindow();
}

void MenuBarManager::openSettings()
{
    callOrLog(m_hooks.openSettings, QStringLiteral("ℹ️ The settings window is not available yet"));
}

void MenuBarManager::clearHistory()
{
    m_clipboard.clearAllHistory();
    postNotification(QStringLiteral("History Cleared"), QStringLiteral("All clipboard history has been cleared"));
}

QString MenuBarManager::aboutText()
{
    return QStringList{
        QStringLiteral("Smart Clipboard Manager for Linux"),
        QString(),
        QStringLiteral("Version 1.0"),
        QStringLiteral("Created with Qt"),
        QString(),
        QStringLiteral("Features:"),
        QStringLiteral("• Intelligent clipboard history"),
        QStringLiteral("• Semantic search"),
        QStringLiteral("• Auto-categorization"),
        QStringLiteral("• Global hotkeys"),
        QStringLiteral("• Menu bar access"),
    }.join(QLatin1Char('\n'));
}

void MenuBarManager::showAbout()
{
    if (m_hooks.showAlert)
        m_hooks.showAlert(QStringLiteral("Snipbrook"), aboutText());
    else
        diag(QStringLiteral("ℹ️ About Snipbrook: no window to show it in"));
}

void MenuBarManager::quitApp()
{
    // A moment for the menu to close before the program goes.
    QTimer::singleShot(100, this, [this] {
        if (m_hooks.quit)
            m_hooks.quit();
        else
            QCoreApplication::exit(0);
    });
}

void MenuBarManager::copyItemFromMenu(const ClipboardItem &item)
{
    m_clipboard.setIsInternalCopy(true);
    m_clipboard.copyItem(item);
    postNotification(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
}

void MenuBarManager::deleteItemFromMenu(const ClipboardItem &item)
{
    m_clipboard.deleteItem(item.id);
    postNotification(QStringLiteral("Deleted"), QStringLiteral("Item removed from history"));
}

void MenuBarManager::postNotification(const QString &title, const QString &body)
{
    if (m_hooks.notify)
        m_hooks.notify(title, body);
}

QString MenuBarManager::itemTitle(const ClipboardItem &item)
{
    if (item.type == ClipboardItemType::image)
        return QStringLiteral("Image");
    if (graphemeCount(item.content, titleLength + 1) > titleLength)
        return firstGraphemes(item.content, titleLength) + QStringLiteral("...");
    return item.content;
}

void MenuBarManager::scheduleRefresh(bool force)
{
    m_forceRebuild = m_forceRebuild || force;
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    // Never at once: the change may come from one of the menu's own actions, whose function
    // (and the item it holds) a new menu would destroy while it runs.
    QTimer::singleShot(0, this, [this] {
        m_refreshQueued = false;
        refresh(std::exchange(m_forceRebuild, false));
    });
}

void MenuBarManager::refresh(bool force)
{
    const QList<ClipboardItem> &items = m_clipboard.clipboardItems();
    QList<QUuid> ids;
    for (qsizetype i = 0; i < std::min<qsizetype>(recentItemCount, items.size()); ++i)
        ids.append(items[i].id);
    if (!force && ids == m_shownIds)
        return;
    m_shownIds = ids;
    // Pictures of items that left the menu are not kept.
    m_thumbnails.removeIf([&](QHash<QUuid, QImage>::iterator it) { return !ids.contains(it.key()); });
    m_menu = buildMenu();
    m_tray.setMenu(m_menu);
    emit menuChanged();
}

MenuModel MenuBarManager::buildMenu()
{
    std::vector<MenuEntry> recent;
    const QList<ClipboardItem> &items = m_clipboard.clipboardItems();
    for (qsizetype i = 0; i < std::min<qsizetype>(recentItemCount, items.size()); ++i)
        recent.push_back(itemEntry(items[i]));
    if (recent.empty()) {
        MenuEntry none = MenuEntry::action(QStringLiteral("No recent items"), {});
        none.enabled = false;
        recent.push_back(std::move(none));
    }

    MenuEntry settings = MenuEntry::action(QStringLiteral("Settings..."), [this] { openSettings(); });
    settings.shortcut = QStringLiteral("Ctrl+,");
    MenuEntry quit = MenuEntry::action(QStringLiteral("Quit Snipbrook"), [this] { quitApp(); });
    quit.shortcut = QStringLiteral("Ctrl+Q");

    MenuModel menu;
    menu.push_back(MenuEntry::submenu(QStringLiteral("Recent Items"), std::move(recent)));
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::action(m_isMainWindowVisible ? QStringLiteral("Hide Main Window")
                                                           : QStringLiteral("Show Main Window"),
                                     [this] { toggleMainWindow(); }));
    menu.push_back(MenuEntry::separator());
    menu.push_back(std::move(settings));
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::action(QStringLiteral("Clear History"), [this] { clearHistory(); }));
    menu.push_back(MenuEntry::separator());
    menu.push_back(MenuEntry::action(QStringLiteral("About Snipbrook"), [this] { showAbout(); }));
    menu.push_back(std::move(quit));
    return menu;
}

MenuEntry MenuBarManager::itemEntry(const ClipboardItem &item)
{
    MenuEntry entry = MenuEntry::submenu(itemTitle(item),
                                         {
                                             MenuEntry::action(QStringLiteral("Copy"), [this, item] { copyItemFromMenu(item); }),
                                             MenuEntry::action(QStringLiteral("Paste"), [this, item] { pasteItem(item); }),
                                             MenuEntry::action(QStringLiteral("Delete"), [this, item] { deleteItemFromMenu(item); }),
                                         });
    if (item.type == ClipboardItemType::image) {
        const auto known = m_thumbnails.constFind(item.id);
        if (known == m_thumbnails.constEnd())
            requestThumbnail(item);
        else
            entry.image = *known;
        if (entry.image.isNull())
            entry.symbol = QStringLiteral("photo");
    }
    return entry;
}

void MenuBarManager::requestThumbnail(const ClipboardItem &item)
{
    m_thumbnails.insert(item.id, QImage());
    const QFuture<QImage> decoded =
        runOnPool(backgroundPool(), [item, load = m_clipboard.contentLoader()] {
            const std::optional<ClipboardItem> full = load(item);
            return full ? itemThumbnail(*full, QSize(thumbnailSize, thumbnailSize)) : QImage();
        });
    whenFinished(decoded, this, [this, id = item.id](const QFuture<QImage> &done) {
        const auto it = m_thumbnails.find(id);
        if (it == m_thumbnails.end()) // the item left the menu meanwhile
            return;
        *it = done.resultCount() > 0 ? done.result() : QImage();
        if (it->isNull()) {
            diag(QStringLiteral("⚠️ Image item %1 is not a picture: the menu shows a placeholder")
                     .arg(id.toString(QUuid::WithoutBraces)));
            return;
        }
        scheduleRefresh(true);
    });
}

} // namespace snipbrook
