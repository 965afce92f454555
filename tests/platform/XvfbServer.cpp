#include "XvfbServer.h"

#include <QStandardPaths>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace snipbrook::test {

XvfbServer::~XvfbServer() { stop(); }

bool XvfbServer::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        m_failure = QStringLiteral("Xvfb is not installed");
        return false;
    }
    int channel[2];
    if (::pipe(channel) != 0) {
        m_failure = QStringLiteral("no pipe");
        return false;
    }
    const std::string path = program.toStdString();
    const std::string fd = std::to_string(channel[1]);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        // The server goes when the program goes, however it ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
        ::close(channel[0]);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::execl(path.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                "-noreset", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(channel[1]);
    if (m_pid < 0) {
        ::close(channel[0]);
        m_failure = QStringLiteral("fork failed");
        return false;
    }
    // Xvfb writes its display number once it listens.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd wait{channel[0], POLLIN, 0};
        if (::poll(&wait, 1, 200) <= 0)
            continue;
        char c = 0;
        if (::read(channel[0], &c, 1) != 1 || c == '\n')
            break;
        number.push_back(c);
    }
    ::close(channel[0]);
    if (number.empty()) {
        m_failure = QStringLiteral("Xvfb did not start");
        stop();
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromStdString(number);
    return true;
}

void XvfbServer::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace snipbrook::test
