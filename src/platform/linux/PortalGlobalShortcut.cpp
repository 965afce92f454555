#include "PortalGlobalShortcut.h"

#include "model/Diagnostics.h"
#include "platform/XkbKeyNames.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

namespace snipbrook {
namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered);
}

// Request objects live at a path made of our unique name and the token we chose, so the
// Response can be listened for before the call returns.
QString requestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

QString responseText(uint response)
{
    switch (response) {
    case 1: return QStringLiteral("cancelled");
    case 2: return QStringLiteral("ended another way");
    default: return QStringLiteral("response %1").arg(response);
    }
}

// The portal documents a string; some send an object path.
QString sessionHandle(const QVariantMap &results)
{
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

bool isMissingPortal(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalGlobalShortcut::PortalGlobalShortcut(QObject *parent) : PortalGlobalShortcut(QDBusConnection::sessionBus(), parent) {}

PortalGlobalShortcut::PortalGlobalShortcut(const QDBusConnection &bus, QObject *parent)
    : GlobalShortcut(parent), m_bus(bus)
{
    registerTypes();
    if (!m_bus.isConnected())
        return;
    // Every Request of the portal: ours are picked out by their path.
    m_bus.connect(portalService, QString(), requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(QDBusMessage)));
    m_bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
}

PortalGlobalShortcut::~PortalGlobalShortcut() { unregisterShortcut(); }

bool PortalGlobalShortcut::isOffered(const QDBusConnection &bus, int timeoutMs)
{
    if (!bus.isConnected()) {
        diag(QStringLiteral("ℹ️ No session bus: the global shortcut portal cannot be asked"));
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(portalService, portalPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get.setArguments({shortcutsInterface, QStringLiteral("version")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        diag(QStringLiteral("ℹ️ The desktop offers no GlobalShortcuts portal (") + reply.errorName()
             + QStringLiteral(")"));
        return false;
    }
    return true;
}

std::optional<QString> PortalGlobalShortcut::trigger(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    const std::optional<QString> name = xkbKeyName(key);
    if (!name)
        return std::nullopt;
    QStringList pieces;
    if (modifiers & Qt::ControlModifier)
        pieces.append(QStringLiteral("CTRL"));
    if (modifiers & Qt::AltModifier)
        pieces.append(QStringLiteral("ALT"));
    if (modifiers & Qt::ShiftModifier)
        pieces.append(QStringLiteral("SHIFT"));
    if (modifiers & Qt::MetaModifier)
        pieces.append(QStringLiteral("LOGO"));
    pieces.append(*name);
    return pieces.join(QLatin1Char('+'));
}

int PortalGlobalShortcut::registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (m_wanted && m_wanted->key == key && m_wanted->modifiers == modifiers)
        return success;
    const std::optional<QString> wantedTrigger = trigger(key, modifiers);
    if (!wantedTrigger)
        return keyUnavailable;
    if (!m_bus.isConnected() || m_portalMissing)
        return boundByDesktop;
    // A session binds its shortcuts once: a new combination gets a new session.
    unregisterShortcut();
    m_wanted = Wanted{key, modifiers, *wantedTrigger};
    createSession();
    return success;
}

void PortalGlobalShortcut::unregisterShortcut()
{
    ++m_generation;
    m_wanted.reset();
    m_bound = false;
    closeSession();
}

Qt::KeyboardModifiers PortalGlobalShortcut::heldModifiers() const
{
    return m_wanted ? m_wanted->modifiers : Qt::KeyboardModifiers();
}

void PortalGlobalShortcut::createSession()
{
    const int generation = m_generation;
    request(QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), nextToken()}},
            QStringLiteral("open a session"), [this, generation](uint response, const QVariantMap &results) {
                const QString session = sessionHandle(results);
                if (generation != m_generation) {
                    // Registered again or released meanwhile: this session is nobody's.
                    if (response == 0 && !session.isEmpty())
                        m_bus.send(QDBusMessage::createMethodCall(portalService, session, sessionInterface,
                                                                  QStringLiteral("Close")));
                    return;
                }
                if (response != 0 || session.isEmpty()) {
                    diag(QStringLiteral("⚠️ The desktop did not open a global shortcut session (")
                         + responseText(response) + QStringLiteral("): the shortcut does not work"));
                    return;
                }
                m_session = session;
                bindShortcut(generation);
            });
}

void PortalGlobalShortcut::bindShortcut(int generation)
{
    const QString wantedTrigger = m_wanted->trigger;
    const PortalShortcut shortcut{shortcutId,
                                  {{QStringLiteral("description"), QStringLiteral("Open Snipbrook's quick access")},
                                   {QStringLiteral("preferred_trigger"), wantedTrigger}}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(QList<PortalShortcut>{shortcut}),
             QString()},
            {}, QStringLiteral("bind the shortcut"),
            [this, generation, wantedTrigger](uint response, const QVariantMap &results) {
                if (generation != m_generation)
                    return;
                const QString refused = QStringLiteral("⚠️ The desktop refused the global shortcut ") + wantedTrigger;
                const QString advice =
                    QStringLiteral("; set it in the desktop's shortcut settings, or bind `snipbrook popup` there");
                if (response != 0) {
                    diag(refused + QStringLiteral(" (") + responseText(response) + QLatin1Char(')') + advice);
                    return;
                }
                // Answers may leave the list out; one that lists shortcuts without ours refused it.
                std::optional<PortalShortcut> bound;
                if (results.contains(QStringLiteral("shortcuts"))) {
                    for (const PortalShortcut &s : qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts"))))
                        if (s.id == shortcutId)
                            bound = s;
                    if (!bound) {
                        diag(refused + advice);
                        return;
                    }
                }
                m_bound = true;
                const QString keys = bound ? bound->properties.value(QStringLiteral("trigger_description")).toString()
                                           : QString();
                diag(QStringLiteral("ℹ️ The desktop bound the global shortcut: ")
                     + (keys.isEmpty() ? QStringLiteral("no keys yet, choose them in the desktop's shortcut settings")
                                       : keys));
            });
}

void PortalGlobalShortcut::closeSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.send(QDBusMessage::createMethodCall(portalService, m_session, sessionInterface, QStringLiteral("Close")));
    m_session.clear();
}

void PortalGlobalShortcut::request(const QString &method, QList<QVariant> arguments, QVariantMap options,
                                   const QString &what, ResponseHandler handler)
{
    const QString token = nextToken();
    options.insert(QStringLiteral("handle_token"), token);
    const QString expected = requestPath(m_bus, token);
    m_pending.insert(expected, std::move(handler));
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, expected, what] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            m_pending.remove(expected);
            callFailed(what, reply.error().name(), reply.error().message());
            return;
        }
        // Portals older than the handle token answer on a path of their own.
        const QString handle = reply.value().path();
        if (handle != expected && m_pending.contains(expected))
            m_pending.insert(handle, m_pending.take(expected));
    });
}

void PortalGlobalShortcut::callFailed(const QString &what, const QString &errorName, const QString &errorMessage)
{
    if (isMissingPortal(errorName)) {
        m_portalMissing = true;
        diag(QStringLiteral("⚠️ The desktop offers no GlobalShortcuts portal (") + errorName
             + QStringLiteral("): the shortcut does not work; bind `snipbrook popup` in the compositor"));
        return;
    }
    diag(QStringLiteral("⚠️ The global shortcut portal could not ") + what + QStringLiteral(" (") + errorName
         + QStringLiteral(": ") + errorMessage + QStringLiteral("): the shortcut does not work"));
}

QString PortalGlobalShortcut::nextToken() { return QStringLiteral("snipbrook%1").arg(++m_tokens); }

void PortalGlobalShortcut::onResponse(const QDBusMessage &message)
{
    const auto handler = m_pending.find(message.path());
    if (handler == m_pending.end())
        return;
    const ResponseHandler respond = std::move(handler.value());
    m_pending.erase(handler);
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    respond(arguments[0].toUInt(), qdbus_cast<QVariantMap>(arguments[1]));
}

void PortalGlobalShortcut::onActivated(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || m_session.isEmpty())
        return;
    if (arguments[0].value<QDBusObjectPath>().path() == m_session && arguments[1].toString() == shortcutId)
        emit pressed();
}

} // namespace snipbrook
