// The running instance: one per user, owning the history, the stores and the clipboard watch,
// answering the command line over its socket.
#include "ApplicationState.h"
#include "core/BackgroundPool.h"
#include "DesktopPlatform.h"
#include "DesktopShell.h"
#include "BuildInfo.h"
#include "CommandHandler.h"
#include "InstanceChannel.h"
#include "RuntimeFolder.h"
#include "core/Async.h"
#include "core/Memory.h"
#include "model/Diagnostics.h"
#include "platform/AppPaths.h"
#include "platform/linux/SettingsPreferences.h"
#include "platform/wayland/DataControlProtocol.h"
#include "platform/wayland/WaylandConnection.h"
#include "search/EmbeddingManager.h"
#include "search/LazyBlas.h"
#include "search/ModelLocator.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace snipbrook;

namespace {

int signalPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop, which quits cleanly.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The session the instance works in, chosen before the application object exists because the
// toolkit platform of our windows follows from it: Wayland where the compositor lets programs see
// the clipboard, else X11 (XWayland on GNOME), else no display at all, with the command line
// still working and capture off.
struct Session {
    SessionEnvironment environment = SessionEnvironment::fromProcess();
    SessionChoice choice;
    // The X display answered (for an X11 session).
    bool x11Reachable = false;
};

bool x11DisplayReachable()
{
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    const bool reachable = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return reachable;
}

Session chooseSessionPlatform()
{
    Session session;
    session.choice = chooseSession(session.environment);
    if (session.choice.kind == SessionKind::wayland) {
        QString failure;
        const std::optional<QList<WaylandGlobal>> globals = WaylandConnection::probeGlobals({}, &failure);
        if (!globals) {
            session.choice = {session.environment.x11Display.isEmpty() ? SessionKind::none : SessionKind::x11,
                              QStringLiteral("⚠️ Wayland: ") + failure};
        } else if (chooseDataControl(*globals).protocol == DataControlChoice::Protocol::none) {
            session.choice = withoutDataControl(session.environment);
        }
    }
    if (session.choice.kind == SessionKind::x11) {
        session.x11Reachable = x11DisplayReachable();
        if (!session.x11Reachable) {
            session.choice.kind = SessionKind::none;
            session.choice.warning = QStringLiteral("⚠️ The X display ") + session.environment.x11Display +
                                     QStringLiteral(" cannot be reached, clipboard capture is off: the command line "
                                                    "still works");
        }
    }
    // Headless runs ask for the offscreen platform themselves; otherwise our windows live where
    // the clipboard is watched (XWayland when the Wayland plugin is missing).
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    if (requested != "offscreen" && requested != "minimal") {
        const QByteArray platform = session.choice.kind == SessionKind::wayland ? QByteArrayLiteral("wayland;xcb")
                                    : session.choice.kind == SessionKind::x11  ? QByteArrayLiteral("xcb")
                                                                               : QByteArrayLiteral("offscreen");
        qputenv("QT_QPA_PLATFORM", platform);
    }
    return session;
}

std::unique_ptr<DesktopPlatform> makePlatform(const Session &session)
{
    if (session.choice.kind == SessionKind::wayland)
        if (std::unique_ptr<DesktopPlatform> wayland = makeWaylandPlatform())
            return wayland;
    return makeX11Platform(session.x11Reachable && QApplication::platformName() == QLatin1String("xcb"),
                           session.choice.notice);
}

// How long after the history is listed the desktop parts (shortcut, tray, windows) are built.
constexpr std::chrono::milliseconds desktopStartDelay{250};

int runInstance(int argc, char *argv[])
{
    const Session session = chooseSessionPlatform();
    // Widgets, for the windows; on the offscreen platform when there is no display.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Snipbrook"));
    // Our windows' Wayland app id, and the name desktops match with our desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.snipbrook.app"));
    QApplication::setApplicationVersion(QString::fromLatin1(build::version));
    QApplication::setQuitOnLastWindowClosed(false);

    // Started at login: straight to the tray.
    const bool startHidden = QCoreApplication::arguments().contains(QStringLiteral("--background"));
    const RuntimeFolder runtimeFolder = RuntimeFolder::claim();
    if (!runtimeFolder.problem.isEmpty()) {
        printText(QStringLiteral("snipbrook: ") + runtimeFolder.problem, stderr);
        return exitFailed;
    }
    AppPaths paths = AppPaths::standard();
    paths.runtimeDir = runtimeFolder.path;
    const InstancePaths instance = InstancePaths::inRuntimeDir(paths.runtimeDir);
    InstanceLock lock(instance.lockFile);
    if (!lock.openError().isEmpty()) {
        printText(QStringLiteral("snipbrook: cannot open ") + instance.lockFile + QStringLiteral(": ") + lock.openError(),
                  stderr);
        return exitFailed;
    }
    if (!lock.isHeld()) {
        // Another instance runs (or is starting): hand the request over instead of opening the
        // same files twice.
        const auto response = sendToInstance(
            instance.socket, CliRequest{QStringLiteral("activate"), {{QLatin1String("background"), startHidden}}}, 5000);
        printText(response ? response->out : QStringLiteral("Snipbrook is already running."), stdout);
        return exitDone;
    }
    quitOnSignals(app);

    diag(QStringLiteral("🚀 Snipbrook starting: ") + QApplication::applicationVersion());
    if (!session.choice.warning.isEmpty())
        diag(session.choice.warning);
    int status = 0;
    {
        ensurePrivateDirectory(paths.configDir);
        SettingsPreferences preferences(paths.configDir);
        const std::unique_ptr<DesktopPlatform> platform = makePlatform(session);
        DesktopServices services{platform->pasteboard(),
                                 platform->workspace(),
                                 preferences,
                                 SystemClock::instance(),
                                 EmbeddingManager::shared(),
                                 platform->watchesClipboard(),
                                 preferences.filePath(),
                                 [] { return sharedSentenceEncoder() != nullptr; }};
        services.clipboardStatus = platform->clipboardStatus();
        if (!services.watchesClipboard && session.choice.warning.isEmpty())
            diag(QStringLiteral("⚠️ No display for the windows, clipboard capture is off: the command line still works"));
        ApplicationState::Options options;
        options.resourceDirectory = QString::fromLatin1(build::installedDataDir);
        ApplicationState state(paths, services, options);
        // The shortcut, the tray, the panel and the main window need a display; the command line
        // works without. They are built once the history is listed (or at once when a command
        // needs them earlier): building them first would hold the history back at every start.
        std::unique_ptr<DesktopShell> shell;
        const auto desktopShell = [&]() -> DesktopShell * {
            if (!shell && services.watchesClipboard) {
                shell = std::make_unique<DesktopShell>(state, *platform, SystemClock::instance(), preferences);
                shell->startMainWindow(startHidden);
            }
            return shell.get();
        };
        // Gone before the shell and the state are, so the wait never ends in a shell built while
        // the program winds down (the state serves pending reads as it is destroyed).
        QObject shellWaiter;
        if (services.watchesClipboard)
            whenFinished(state.clipboard().loaded(), &shellWaiter, [&shellWaiter, &desktopShell](const QFuture<void> &) {
                // A moment later still, so the commands waiting for the history answer first.
                QTimer::singleShot(desktopStartDelay, &shellWaiter, desktopShell);
            });
        CommandHandler::Hooks hooks;
        hooks.statusText = [&] {
            const QString desktop =
                shell ? shell->statusLines()
                : services.watchesClipboard
                    ? QStringLiteral("Global shortcut: starting\nTray: starting")
                    : QStringLiteral("Global shortcut: unavailable (no display)\nTray: none (no display)");
            return state.statusText() + QLatin1Char('\n') + desktop;
        };
        hooks.quit = [] { QCoreApplication::exit(0); };
        hooks.showMainWindow = [&desktopShell] {
            DesktopShell *ready = desktopShell();
            if (ready)
                ready->showMainWindow();
            return ready != nullptr;
        };
        hooks.hideMainWindow = [&desktopShell] {
            DesktopShell *ready = desktopShell();
            if (ready)
                ready->hideMainWindow();
            return ready != nullptr;
        };
        hooks.showSettings = [&desktopShell] {
            DesktopShell *ready = desktopShell();
            if (ready)
                ready->showSettings();
            return ready != nullptr;
        };
        hooks.showQuickAccess = [&desktopShell] {
            DesktopShell *ready = desktopShell();
            if (ready)
                ready->showQuickAccess();
            return ready != nullptr;
        };
        CommandHandler commands(state.clipboard(), state.configuration(), hooks);
        InstanceServer server([&commands](const CliRequest &request, const InstanceServer::Reply &reply) {
            commands.handle(request, reply);
        });
        if (!server.listen(instance.socket)) {
            diag(QStringLiteral("❌ Could not listen for commands on ") + instance.socket + QStringLiteral(": ") +
                 server.errorString());
            return exitFailed;
        }
        status = app.exec();
        // Changes made since the index file was last written must not be lost at quit.
        state.flush();
    }
    backgroundPool().waitForDone();
    QThreadPool::globalInstance()->waitForDone();
    diag(QStringLiteral("👋 Snipbrook stopped"));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    keepLinearAlgebraOnCallingThreads();
    shareHeapAmongBackgroundThreads();
    return runInstance(argc, argv);
}
