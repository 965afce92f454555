// The running instance: one per user, owning the history, the stores and the clipboard watch,
// answering the command line over its socket.
#include "ApplicationState.h"
#include "DesktopShell.h"
#include "BuildInfo.h"
#include "CommandHandler.h"
#include "InstanceChannel.h"
#include "RuntimeFolder.h"
#include "model/Diagnostics.h"
#include "platform/AppPaths.h"
#include "platform/linux/SettingsPreferences.h"
#include "platform/linux/X11Pasteboard.h"
#include "platform/linux/X11Workspace.h"
#include "search/EmbeddingManager.h"
#include "search/ModelLocator.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QThreadPool>

#include <xcb/xcb.h>

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

// Qt cannot start on a display it cannot reach; without one Snipbrook still runs for the command
// line, with capture off.
void chooseDisplayPlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    const bool reachable = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (!reachable)
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int runInstance(int argc, char *argv[])
{
    chooseDisplayPlatform();
    // Widgets, for the windows; on the offscreen platform when there is no display.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Snipbrook"));
    QApplication::setApplicationVersion(QString::fromLatin1(build::version));
    QApplication::setQuitOnLastWindowClosed(false);

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
        const auto response = sendToInstance(instance.socket, CliRequest{QStringLiteral("activate"), {}}, 5000);
        printText(response ? response->out : QStringLiteral("Snipbrook is already running."), stdout);
        return exitDone;
    }
    quitOnSignals(app);

    diag(QStringLiteral("🚀 Snipbrook starting: ") + QApplication::applicationVersion());
    int status = 0;
    {
        ensurePrivateDirectory(paths.configDir);
        SettingsPreferences preferences(paths.configDir);
        X11Pasteboard pasteboard;
        X11Workspace workspace;
        DesktopServices services{pasteboard,
                                 workspace,
                                 preferences,
                                 SystemClock::instance(),
                                 EmbeddingManager::shared(),
                                 QApplication::platformName() == QLatin1String("xcb"),
                                 preferences.filePath(),
                                 [] { return sharedSentenceEncoder() != nullptr; }};
        ApplicationState::Options options;
        options.resourceDirectory = QString::fromLatin1(build::installedDataDir);
        ApplicationState state(paths, services, options);
        // The shortcut, the tray and the panel need a display; the command line works without.
        std::unique_ptr<DesktopShell> shell;
        if (services.watchesClipboard)
            shell = std::make_unique<DesktopShell>(state, pasteboard, workspace, SystemClock::instance());
        if (shell)
            shell->startMainWindow(preferences);
        CommandHandler::Hooks hooks;
        hooks.statusText = [&state, &shell] {
            return state.statusText() + QLatin1Char('\n') +
                   (shell ? shell->statusLines()
                          : QStringLiteral("Global shortcut: unavailable (no X11 display)\nTray: none (no X11 display)"));
        };
        hooks.quit = [] { QCoreApplication::exit(0); };
        hooks.showMainWindow = [&shell] {
            if (!shell)
                return false;
            shell->showMainWindow();
            return true;
        };
        hooks.hideMainWindow = [&shell] {
            if (!shell)
                return false;
            shell->hideMainWindow();
            return true;
        };
        hooks.showQuickAccess = [&shell] {
            if (!shell)
                return false;
            shell->showQuickAccess();
            return true;
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
    QThreadPool::globalInstance()->waitForDone();
    diag(QStringLiteral("👋 Snipbrook stopped"));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    return runInstance(argc, argv);
}
