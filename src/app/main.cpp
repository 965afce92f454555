#include "BuildInfo.h"
#include "CommandLine.h"
#include "InstanceChannel.h"
#include "model/Diagnostics.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace snipbrook;

namespace {

// Generous: a search by meaning over a large history may take a moment.
constexpr int requestTimeoutMs = 30000;

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

QString readAllStdin()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll());
}

QString runtimeDir()
{
    QString dir = AppPaths::standard().runtimeDir;
    ensurePrivateDirectory(dir);
    return dir;
}

int runClient(const CliRequest &request)
{
    const InstancePaths paths = InstancePaths::inRuntimeDir(runtimeDir());
    const auto response = sendToInstance(paths.socket, request, requestTimeoutMs);
    if (!response) {
        print(QStringLiteral("snipbrook: Snipbrook is not running (start it with 'snipbrook')"), stderr);
        return exitNoInstance;
    }
    print(response->out, stdout);
    print(response->err, stderr);
    return response->exitCode;
}

int runInstance(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Snipbrook"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(build::version));

    const InstancePaths paths = InstancePaths::inRuntimeDir(runtimeDir());
    InstanceLock lock(paths.lockFile);
    if (!lock.isHeld()) {
        // Another instance runs (or is starting): hand the request over instead of opening the
        // same files twice.
        const auto response = sendToInstance(paths.socket, CliRequest{QStringLiteral("activate"), {}}, 5000);
        print(response ? response->out : QStringLiteral("Snipbrook is already running."), stdout);
        return exitDone;
    }
    quitOnSignals(app);

    InstanceServer server([](const CliRequest &request, const InstanceServer::Reply &reply) {
        if (request.command == QLatin1String("quit")) {
            reply(CliResponse::ok(QStringLiteral("Snipbrook is quitting.")));
            QCoreApplication::quit();
        } else if (request.command == QLatin1String("activate")) {
            reply(CliResponse::ok(QStringLiteral("Snipbrook is already running.")));
        } else if (request.command == QLatin1String("status")) {
            reply(CliResponse::ok(QStringLiteral("Version: ") + QString::fromLatin1(build::version)));
        } else {
            reply(CliResponse::failed(QStringLiteral("snipbrook: '") + request.command +
                                      QStringLiteral("' is not available in this version")));
        }
    });
    if (!server.listen(paths.socket)) {
        diag(QStringLiteral("❌ Could not listen for commands on ") + paths.socket + QStringLiteral(": ") + server.errorString());
        return exitFailed;
    }

    diag(QStringLiteral("🚀 Snipbrook started: ") + QCoreApplication::applicationVersion());
    const int status = app.exec();
    diag(QStringLiteral("👋 Snipbrook stopped"));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedCommandLine parsed = parseCommandLine(arguments, readAllStdin);
    if (const auto *print_ = std::get_if<PrintAndExit>(&parsed)) {
        print(print_->text, print_->toStderr ? stderr : stdout);
        return print_->exitCode;
    }
    if (const auto *request = std::get_if<CliRequest>(&parsed))
        return runClient(*request);
    return runInstance(argc, argv);
}
