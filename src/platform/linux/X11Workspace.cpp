#include "X11Workspace.h"

#include "model/Diagnostics.h"

#include <QHash>

#include <unistd.h>

#include <cstdlib>

namespace snipbrook {

struct X11Workspace::Window {
    xcb_window_t id = XCB_WINDOW_NONE;
    QString instance;
    QString windowClass;
    quint32 pid = 0;
    bool isNormal = true;
    bool skipsTaskbar = false;
};

struct X11Workspace::WindowRequest {
    xcb_window_t id;
    xcb_get_property_cookie_t wmClass, pid, type, state, transientFor;
};

X11Workspace::X11Workspace() : X11Workspace(Options{}) {}

X11Workspace::X11Workspace(Options options)
    : m_connection(std::make_unique<XcbConnection>(options.displayName)),
      m_applications(options.dataDirs.value_or(DesktopEntryIndex::standardDataDirs()),
                     options.locale.value_or(DesktopEntryIndex::messagesLocale()))
{
    if (!m_connection->isValid()) {
        diag(QStringLiteral("⚠️ No X display, the front and running applications are unknown: ")
             + m_connection->displayName() + QStringLiteral(" (") + m_connection->failureReason()
             + QStringLiteral(")"));
        m_reportedLostDisplay = true;
        return;
    }
    const QList<xcb_atom_t> atoms = m_connection->atoms(
        {"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE",
         "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"});
    m_activeWindow = atoms[0];
    m_supportingCheck = atoms[1];
    m_clientList = atoms[2];
    m_pid = atoms[3];
    m_windowType = atoms[4];
    m_windowTypeNormal = atoms[5];
    m_state = atoms[6];
    m_stateSkipTaskbar = atoms[7];
}

X11Workspace::~X11Workspace() = default;

bool X11Workspace::isConnected() const { return m_connection->isValid(); }

bool X11Workspace::usable() const
{
    if (m_connection->isValid())
        return true;
    if (!m_reportedLostDisplay.exchange(true))
        diag(QStringLiteral("⚠️ Lost the X display, the front and running applications are unknown: ")
             + m_connection->displayName());
    return false;
}

void X11Workspace::noteWindowManager(bool running) const
{
    if (m_windowManagerState.exchange(running ? 1 : 0) == (running ? 1 : 0))
        return;
    if (!running)
        diag(QStringLiteral("⚠️ No window manager, the front application is unknown"));
}

X11Workspace::WindowRequest X11Workspace::requestWindow(xcb_window_t window) const
{
    const XcbConnection &c = *m_connection;
    return {window,
            c.requestProperty(window, XCB_ATOM_WM_CLASS),
            c.requestProperty(window, m_pid, 4),
            c.requestProperty(window, m_windowType, 64),
            c.requestProperty(window, m_state, 64),
            c.requestProperty(window, XCB_ATOM_WM_TRANSIENT_FOR, 4)};
}

X11Workspace::Window X11Workspace::takeWindow(const WindowRequest &request) const
{
    const XcbConnection &c = *m_connection;
    Window window;
    window.id = request.id;
    const QStringList wmClass = XcbConnection::strings(c.takeProperty(request.wmClass));
    window.instance = wmClass.value(0);
    window.windowClass = wmClass.value(1);
    window.pid = XcbConnection::firstCardinal(c.takeProperty(request.pid)).value_or(0);
    const QList<quint32> types = XcbConnection::cardinals(c.takeProperty(request.type));
    const QList<quint32> states = XcbConnection::cardinals(c.takeProperty(request.state));
    const bool isTransient = XcbConnection::firstCardinal(c.takeProperty(request.transientFor)).value_or(0) != 0;
    // Without a type, a transient window is a dialog and any other is a normal one.
    window.isNormal = types.isEmpty() ? !isTransient : types.contains(m_windowTypeNormal);
    window.skipsTaskbar = states.contains(m_stateSkipTaskbar);
    return window;
}

RunningApplication X11Workspace::applicationOf(const Window &window) const
{
    RunningApplication app;
    app.processIdentifier = static_cast<qint32>(window.pid);
    app.isRegular = window.isNormal && !window.skipsTaskbar;
    const std::optional<DesktopEntry> entry = m_applications.entries().byWindowClass(window.instance, window.windowClass);
    const QString className = window.windowClass.isEmpty() ? window.instance : window.windowClass;
    if (window.pid != 0 && window.pid == static_cast<quint32>(::getpid())) {
        // Our own windows, whatever the toolkit put in WM_CLASS.
        app.bundleIdentifier = snipbrookBundleIdentifier();
        app.localizedName = QStringLiteral("Snipbrook");
    } else if (entry) {
        app.bundleIdentifier = entry->id;
        app.localizedName = entry->name.isEmpty() ? className : entry->name;
    } else if (!className.isEmpty()) {
        app.bundleIdentifier = className.toLower();
        app.localizedName = className;
    }
    return app;
}

bool X11Workspace::windowManagerConfirms(std::optional<quint32> checkWindow) const
{
    if (!checkWindow || *checkWindow == 0)
        return false;
    const auto confirmed = XcbConnection::firstCardinal(
        m_connection->takeProperty(m_connection->requestProperty(*checkWindow, m_supportingCheck, 4)));
    return confirmed == checkWindow;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    if (!usable())
        return std::nullopt;
    const XcbConnection &c = *m_connection;
    const auto checkCookie = c.requestProperty(c.root(), m_supportingCheck, 4);
    const auto activeCookie = c.requestProperty(c.root(), m_activeWindow, 4);
    const std::optional<quint32> check = XcbConnection::firstCardinal(c.takeProperty(checkCookie));
    const std::optional<quint32> active = XcbConnection::firstCardinal(c.takeProperty(activeCookie));
    // A window manager that went away leaves a stale _NET_ACTIVE_WINDOW behind.
    const bool hasWindowManager = windowManagerConfirms(check);
    noteWindowManager(hasWindowManager);
    if (!hasWindowManager || !active || *active == 0)
        return std::nullopt;
    // Some window managers keep naming a window that was just hidden (withdrawn) as the active
    // one until another takes the focus: nothing is in front then.
    xcb_connection_t *connection = c.get();
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, *active), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    if (!viewable)
        return std::nullopt;
    const Window window = takeWindow(requestWindow(*active));
    if (window.instance.isEmpty() && window.windowClass.isEmpty() && window.pid == 0)
        return std::nullopt;
    RunningApplication app = applicationOf(window);
    app.isActive = true;
    return app;
}

QList<xcb_window_t> X11Workspace::topLevelWindows() const
{
    // Without a window manager the viewable children of the root are the application windows.
    xcb_connection_t *c = m_connection->get();
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, m_connection->root()), nullptr);
    if (!tree)
        return {};
    const xcb_window_t *children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    QList<xcb_get_window_attributes_cookie_t> cookies;
    for (int i = 0; i < count; ++i)
        cookies.append(xcb_get_window_attributes(c, children[i]));
    QList<xcb_window_t> windows;
    for (int i = 0; i < count; ++i) {
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(c, cookies[i], nullptr);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && !attributes->override_redirect)
            windows.append(children[i]);
        std::free(attributes);
    }
    std::free(tree);
    return windows;
}

QList<RunningApplication> X11Workspace::runningApplications() const
{
    if (!usable())
        return {};
    const XcbConnection &c = *m_connection;
    const auto checkCookie = c.requestProperty(c.root(), m_supportingCheck, 4);
    const auto activeCookie = c.requestProperty(c.root(), m_activeWindow, 4);
    const auto clientsCookie = c.requestProperty(c.root(), m_clientList, 1024 * 1024);
    const std::optional<quint32> check = XcbConnection::firstCardinal(c.takeProperty(checkCookie));
    const std::optional<quint32> activeHint = XcbConnection::firstCardinal(c.takeProperty(activeCookie));
    const QList<quint32> clients = XcbConnection::cardinals(c.takeProperty(clientsCookie));

    QList<xcb_window_t> windows;
    xcb_window_t active = XCB_WINDOW_NONE;
    if (windowManagerConfirms(check)) {
        windows = clients;
        active = activeHint.value_or(XCB_WINDOW_NONE);
    } else {
        windows = topLevelWindows();
        xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(c.get(), xcb_get_input_focus(c.get()), nullptr);
        if (focus)
            active = focus->focus;
        std::free(focus);
    }

    QList<WindowRequest> requests;
    for (xcb_window_t window : windows)
        requests.append(requestWindow(window));
    // One application per identifier and process, in the order its first window appears.
    QList<RunningApplication> apps;
    QHash<QString, qsizetype> indexByKey;
    for (const WindowRequest &request : requests) {
        const Window window = takeWindow(request);
        if (window.instance.isEmpty() && window.windowClass.isEmpty())
            continue;
        RunningApplication app = applicationOf(window);
        app.isActive = window.id == active;
        const QString key = app.bundleIdentifier.value_or(QString()) + u'\n' + QString::number(app.processIdentifier);
        if (const auto it = indexByKey.constFind(key); it != indexByKey.constEnd()) {
            RunningApplication &known = apps[*it];
            known.isRegular = known.isRegular || app.isRegular;
            known.isActive = known.isActive || app.isActive;
            continue;
        }
        indexByKey.insert(key, apps.size());
        apps.append(app);
    }
    return apps;
}

std::optional<QString> X11Workspace::applicationLocation(const QString &bundleIdentifier) const
{
    return m_applications.applicationLocation(bundleIdentifier);
}

QList<InstalledApplication> X11Workspace::installedApplications(bool rescan) const
{
    return m_applications.installedApplications(rescan);
}

std::optional<InstalledApplication> X11Workspace::installedApplication(const QString &bundleIdentifier) const
{
    return m_applications.installedApplication(bundleIdentifier);
}

QImage X11Workspace::iconForFile(const QString &path) const { return m_applications.iconForFile(path); }

} // namespace snipbrook
