#pragma once

#include "MenuModel.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

namespace snipbrook {

// The program's icon in the desktop's system tray, with its menu. The icon is shown whether or
// not a tray is there now; a tray that appears later gets it.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    enum class Click { left, right };

    using QObject::QObject;
    ~TrayIcon() override = default;

    // True while a tray host shows the icon (or would, once shown).
    virtual bool isAvailable() const = 0;
    // The icon by symbol name, its accessible description and its tool tip.
    virtual void setIcon(const QString &symbol, const QString &description) = 0;
    virtual void setToolTip(const QString &toolTip) = 0;
    // The menu the tray opens on a right click; replaces the previous one.
    virtual void setMenu(const MenuModel &menu) = 0;
    virtual void show() = 0;
    // The icon's place on the screen, when the tray tells it.
    virtual std::optional<QRect> geometry() const = 0;

signals:
    // A click on the icon, on the main thread. A right click opens the menu as well.
    void activated(snipbrook::TrayIcon::Click click);
    void availabilityChanged(bool available);
};

} // namespace snipbrook
