#include "QtTrayIcon.h"

#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

namespace snipbrook {

QtTrayIcon::QtTrayIcon(IconLookup icons, QIcon statusIcon, QObject *parent)
    : TrayIcon(parent), m_icons(std::move(icons)), m_statusIcon(std::move(statusIcon)), m_contextMenu(std::make_unique<QMenu>()),
      m_available(QSystemTrayIcon::isSystemTrayAvailable())
{
    m_icon.setContextMenu(m_contextMenu.get());
    connect(&m_icon, &QSystemTrayIcon::activated, this, &QtTrayIcon::trayActivated);
    // A right click on an XEmbed icon and a StatusNotifier host asking for the menu both end here.
    connect(m_contextMenu.get(), &QMenu::aboutToShow, this, [this] { emit activated(Click::right); });
    // Changes while the menu is open wait until it closes, so a chosen action is not deleted
    // while it runs and the open menu does not change under the pointer.
    connect(m_contextMenu.get(), &QMenu::aboutToHide, this, [this] {
        if (m_rebuildQueued)
            QTimer::singleShot(0, this, &QtTrayIcon::rebuildMenu);
    });
    // The X11 platform reports a tray manager that starts or quits (the XEmbed icon follows it
    // by itself); other platforms have no such signal. The native interface's class derives from
    // QObject alone, and its header is not installed.
    auto *native = reinterpret_cast<QObject *>(QGuiApplication::platformNativeInterface());
    if (native && native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0)
        connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(trayHostChanged()));
}

QtTrayIcon::~QtTrayIcon()
{
    m_icon.setContextMenu(nullptr);
}

QString QtTrayIcon::actionText(const QString &title)
{
    QString text = title;
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return text.replace(u'&', QStringLiteral("&&"));
}

void QtTrayIcon::setIcon(const QString &symbol, const QString &description)
{
    m_icon.setIcon(m_statusIcon.isNull() ? m_icons(symbol) : m_statusIcon);
    if (m_icon.toolTip().isEmpty())
        m_icon.setToolTip(description);
}

void QtTrayIcon::setToolTip(const QString &toolTip)
{
    m_icon.setToolTip(toolTip);
}

void QtTrayIcon::setMenu(const MenuModel &menu)
{
    m_model = menu;
    if (m_rebuildQueued)
        return;
    m_rebuildQueued = true;
    // Never synchronously: the change may come from an action of this very menu.
    if (!m_contextMenu->isVisible())
        QTimer::singleShot(0, this, &QtTrayIcon::rebuildMenu);
}

void QtTrayIcon::show()
{
    m_icon.show();
}

std::optional<QRect> QtTrayIcon::geometry() const
{
    const QRect place = m_icon.geometry();
    return place.isEmpty() ? std::nullopt : std::optional(place);
}

void QtTrayIcon::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A double click also reports a single click first; the menu reports itself (aboutToShow).
    if (reason == QSystemTrayIcon::Trigger)
        emit activated(Click::left);
}

void QtTrayIcon::trayHostChanged()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == m_available)
        return;
    m_available = available;
    emit availabilityChanged(available);
}

void QtTrayIcon::rebuildMenu()
{
    if (!m_rebuildQueued || m_contextMenu->isVisible())
        return;
    m_rebuildQueued = false;
    // Submenus are children of the menu; clear() keeps them, so they go explicitly.
    const QList<QMenu *> submenus = m_contextMenu->findChildren<QMenu *>(Qt::FindDirectChildrenOnly);
    m_contextMenu->clear();
    qDeleteAll(submenus);
    fill(*m_contextMenu, m_model);
}

void QtTrayIcon::fill(QMenu &menu, const std::vector<MenuEntry> &entries)
{
    for (const MenuEntry &entry : entries) {
        if (entry.kind == MenuEntry::Kind::separator) {
            menu.addSeparator();
            continue;
        }
        QAction *action = nullptr;
        if (entry.kind == MenuEntry::Kind::submenu) {
            auto *submenu = new QMenu(actionText(entry.title), m_contextMenu.get());
            fill(*submenu, entry.children);
            action = menu.addMenu(submenu);
        } else {
            action = menu.addAction(actionText(entry.title));
            if (entry.trigger)
                connect(action, &QAction::triggered, this, [trigger = entry.trigger] { trigger(); });
            if (!entry.shortcut.isEmpty())
                action->setShortcut(QKeySequence(entry.shortcut, QKeySequence::PortableText));
        }
        if (!entry.image.isNull())
            action->setIcon(QIcon(QPixmap::fromImage(entry.image)));
        else if (!entry.symbol.isEmpty())
            action->setIcon(m_icons(entry.symbol));
        action->setEnabled(entry.enabled);
        if (entry.checked) {
            action->setCheckable(true);
            action->setChecked(*entry.checked);
        }
    }
}

} // namespace snipbrook
