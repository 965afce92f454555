#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QMenu;

namespace snipbrook {

// The tray icon through QSystemTrayIcon: a StatusNotifierItem where the desktop has a
// StatusNotifier host, else an XEmbed icon; Qt docks the XEmbed icon again when a tray starts
// later. The menu is a QMenu made from the menu model.
class QtTrayIcon : public TrayIcon {
    Q_OBJECT
public:
    // Turns a symbol name into an icon (the program's symbol table).
    using IconLookup = std::function<QIcon(const QString &symbol)>;

    // `statusIcon`, when given, is what the tray shows whatever symbol the status item names:
    // the application's own icon.
    explicit QtTrayIcon(IconLookup icons, QIcon statusIcon = {}, QObject *parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override { return m_available; }
    void setIcon(const QString &symbol, const QString &description) override;
    void setToolTip(const QString &toolTip) override;
    void setMenu(const MenuModel &menu) override;
    void show() override;
    std::optional<QRect> geometry() const override;

    // The menu as the tray shows it. Changes reach it on the next turn of the event loop.
    QMenu *contextMenu() const { return m_contextMenu.get(); }

    // A menu title as a QAction text: '&' is not a mnemonic, and line breaks and tabs (a tab
    // starts the shortcut column) become spaces.
    static QString actionText(const QString &title);

private:
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    Q_SLOT void trayHostChanged(); // a slot: the platform signal is connected by name
    void rebuildMenu();
    void fill(QMenu &menu, const std::vector<MenuEntry> &entries);

    IconLookup m_icons;
    QIcon m_statusIcon;
    QSystemTrayIcon m_icon;
    std::unique_ptr<QMenu> m_contextMenu;
    MenuModel m_model;
    bool m_rebuildQueued = false;
    bool m_available = false;
};

} // namespace snipbrook
