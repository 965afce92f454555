#pragma once

#include "platform/GlobalShortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QHash>
#include <QVariantMap>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace snipbrook {

// One entry of the portal's shortcut lists, a(sa{sv}): the id and its properties (description,
// preferred_trigger; trigger_description in the portal's answers).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut);
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut);

} // namespace snipbrook

Q_DECLARE_METATYPE(snipbrook::PortalShortcut)

namespace snipbrook {

// The global shortcut through the desktop portal's GlobalShortcuts interface on the session bus
// (KDE Plasma on Wayland, where programs cannot grab keys). Each registration opens a session of
// its own and binds one shortcut in it, with the combination as the preferred trigger; the
// desktop may ask the user first and keeps the trigger the user chose. Every call is
// asynchronous: registerShortcut() answers `success` once the request is on its way, and a later
// refusal or failure is logged ("⚠️ ..."). When the bus has no portal at all, later registrations
// answer `boundByDesktop`. Main thread only.
class PortalGlobalShortcut : public GlobalShortcut {
    Q_OBJECT
public:
    static inline const QString shortcutId = QStringLiteral("show-quick-access");

    // The session bus.
    explicit PortalGlobalShortcut(QObject *parent = nullptr);
    explicit PortalGlobalShortcut(const QDBusConnection &bus, QObject *parent = nullptr);
    // Closes the session, which releases the shortcut.
    ~PortalGlobalShortcut() override;

    // Whether the bus's portal offers GlobalShortcuts: reads its `version` property, waiting at
    // most `timeoutMs` (this blocks; meant for start-up, before the shortcut is chosen). Logs
    // the reason when not.
    static bool isOffered(const QDBusConnection &bus, int timeoutMs = 1000);
    // The combination in the portal's trigger syntax ("CTRL+SHIFT+space"); nothing for keys it
    // cannot name.
    static std::optional<QString> trigger(Qt::Key key, Qt::KeyboardModifiers modifiers);

    int registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers) override;
    void unregisterShortcut() override;
    // The portal tells presses only, not the keyboard's state, and only of the trigger the desktop
    // bound (which the user may have changed): the registered modifiers count as held.
    Qt::KeyboardModifiers heldModifiers() const override;

    // The desktop confirmed the binding of the current registration.
    bool isBound() const { return m_bound; }

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);

private:
    using ResponseHandler = std::function<void(uint response, const QVariantMap &results)>;
    struct Wanted {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString trigger;
    };

    void createSession();
    void bindShortcut(int generation);
    void closeSession();
    // Sends a portal call that answers with a Request; `handler` gets its Response.
    void request(const QString &method, QList<QVariant> arguments, QVariantMap options, const QString &what,
                 ResponseHandler handler);
    void callFailed(const QString &what, const QString &errorName, const QString &errorMessage);
    QString nextToken();

    QDBusConnection m_bus;
    std::optional<Wanted> m_wanted;
    // Each registration's number; answers to an earlier one are stale.
    int m_generation = 0;
    int m_tokens = 0;
    QString m_session;
    bool m_bound = false;
    bool m_portalMissing = false;
    // Requests awaiting their Response, by object path.
    QHash<QString, ResponseHandler> m_pending;
};

} // namespace snipbrook
