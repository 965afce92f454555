// The command line: parses the arguments, then talks to the running instance, or becomes it
// (the instance program replaces this process, so it keeps the same process id). This program
// links only Qt Core, so a command-line call starts in a few milliseconds.
#include "BuildInfo.h"
#include "CommandLine.h"
#include "InstanceClient.h"
#include "RuntimeFolder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace snipbrook;

namespace {

// Generous: a search by meaning over a large history may take a moment.
constexpr int requestTimeoutMs = 30000;

QString readAllStdin()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll());
}

int runClient(const CliRequest &request)
{
    const RuntimeFolder folder = RuntimeFolder::claim();
    if (!folder.problem.isEmpty()) {
        // A socket in a folder someone else controls could be anyone's: nothing is sent there.
        printText(QStringLiteral("snipbrook: ") + folder.problem, stderr);
        return exitFailed;
    }
    const InstancePaths paths = InstancePaths::inRuntimeDir(folder.path);
    const auto response = sendToInstance(paths.socket, request, requestTimeoutMs);
    if (!response) {
        printText(QStringLiteral("snipbrook: Snipbrook is not running (start it with 'snipbrook')"), stderr);
        return exitNoInstance;
    }
    printText(response->out, stdout);
    printText(response->err, stderr);
    return response->exitCode;
}

// The instance program sits beside this one in the build tree, or in the installed libexec folder.
QString instanceProgram()
{
    const QString besideUs = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString sibling = QFileInfo(besideUs).absolutePath() + QStringLiteral("/snipbrook-instance");
    if (QFileInfo(sibling).isExecutable())
        return sibling;
    return QString::fromLatin1(build::instanceProgram);
}

int becomeInstance(char *argv0, const RunInstance &run)
{
    const QByteArray program = QFile::encodeName(instanceProgram());
    char background[] = "--background";
    char *arguments[] = {argv0, run.background ? background : nullptr, nullptr};
    ::execv(program.constData(), arguments);
    printText(QStringLiteral("snipbrook: cannot start ") + QString::fromLocal8Bit(program) + QStringLiteral(": ") +
              QString::fromLocal8Bit(std::strerror(errno)),
          stderr);
    return exitFailed;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedCommandLine parsed = parseCommandLine(arguments, readAllStdin);
    if (const auto *message = std::get_if<PrintAndExit>(&parsed)) {
        printText(message->text, message->toStderr ? stderr : stdout);
        return message->exitCode;
    }
    if (const auto *request = std::get_if<CliRequest>(&parsed))
        return runClient(*request);
    return becomeInstance(argv[0], std::get<RunInstance>(parsed));
}
