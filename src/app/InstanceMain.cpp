// The running instance: one per user, owning the history, the stores and the clipboard watch,
// answering the command line over its socket.
#include "ApplicationState.h"
#include "BuildInfo.h"
#include "CommandHandler.h"
#include "InstanceChannel.h"
#include "model/Diagnostics.h"
#include "platform/AppPaths.h"

#include <QGuiApplication>
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
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void print(const QString &text, FILE *stream)
{
    if (text.isEmpty())
        return;
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
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

QString statusText(ApplicationState &state)
{
    ClipboardManager &clipboard = state.clipboard();
    const HybridDataManager &storage = state.storage();
    const QString storageState = storage.isInitialized() ? QStringLiteral("ready")
                                 : storage.isMigrating()  ? QStringLiteral("importing earlier history")
                                                          : QStringLiteral("starting");
    QStringList lines{
        QStringLiteral("Snipbrook %1").arg(QString::fromLatin1(build::version)),
        QStringLiteral("Items: %1 (favourites: %2, limit: %3)")
            .arg(clipboard.clipboardItems().size())
            .arg(clipboard.favoriteItems().size())
            .arg(clipboard.maxItems()),
        QStringLiteral("Indexed for search by meaning: %1").arg(state.vectorStore().indexedItemsCount()),
        QStringLiteral("Storage: ") + storageState,
        QStringLiteral("Model: ") + modelStateText(state.modelState()),
        QStringLiteral("Clipboard: ") + (state.hasDisplay() ? QStringLiteral("watching X11 display ") + qEnvironmentVariable("DISPLAY")
                                                            : QStringLiteral("off (no X11 display)")),
        QStringLiteral("Item store: ") + state.itemStore().storePath(),
        QStringLiteral("Vector index: ") + state.vectorStore().indexFilePath(),
        QStringLiteral("Settings: ") + state.settingsFile(),
    };
    return lines.join(QLatin1Char('\n'));
}

int runInstance(int argc, char *argv[])
{
    chooseDisplayPlatform();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Snipbrook"));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(build::version));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    AppPaths paths = AppPaths::standard();
    paths.runtimeDir = InstancePaths::runtimeDir();
    ensurePrivateDirectory(paths.runtimeDir);
    const InstancePaths instance = InstancePaths::inRuntimeDir(paths.runtimeDir);
    InstanceLock lock(instance.lockFile);
    if (!lock.isHeld()) {
        // Another instance runs (or is starting): hand the request over instead of opening the
        // same files twice.
        const auto response = sendToInstance(instance.socket, CliRequest{QStringLiteral("activate"), {}}, 5000);
        print(response ? response->out : QStringLiteral("Snipbrook is already running."), stdout);
        return exitDone;
    }
    quitOnSignals(app);

    diag(QStringLiteral("🚀 Snipbrook starting: ") + QGuiApplication::applicationVersion());
    int status = 0;
    {
        ApplicationState state(paths);
        CommandHandler commands(state.clipboard(), state.configuration(),
                                {[&state] { return statusText(state); }, [] { QCoreApplication::quit(); }});
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
