#include "HeadlessSway.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace snipbrook::test {
namespace {

const char *const swayUser = "snipbrook-sway";
constexpr char ipcMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr int ipcHeaderSize = 14;
constexpr int ipcTimeoutMs = 5000;
// The keyboard only has to outlive the program; it is ended with it.
const char *const keyboardLifetimeMs = "86400000";

// What the compositor needs and nothing more: no bar (only the stock config has one), no X server,
// no borders that would move the windows the tests look at.
const char *const swayConfig = "default_border none\n"
                               "default_floating_border none\n"
                               "focus_follows_mouse no\n"
                               "xwayland disable\n";

// The unprivileged user sway runs as under root, created on first use.
bool ensureSwayUser(uid_t &uid, gid_t &gid, QString &failure)
{
    if (!::getpwnam(swayUser)) {
        const int code = std::system("PATH=\"$PATH:/usr/sbin:/sbin\" useradd --system --no-create-home --shell /usr/sbin/nologin "
                                     "snipbrook-sway >/dev/null 2>&1");
        // Another test program may have created it meanwhile.
        if (code != 0 && !::getpwnam(swayUser)) {
            failure = QStringLiteral("cannot create the user %1 to run sway as (useradd: %2)")
                          .arg(QLatin1String(swayUser))
                          .arg(code);
            return false;
        }
    }
    const passwd *entry = ::getpwnam(swayUser);
    if (!entry) {
        failure = QStringLiteral("no user %1").arg(QLatin1String(swayUser));
        return false;
    }
    uid = entry->pw_uid;
    gid = entry->pw_gid;
    return true;
}

bool writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

// A word for sh, quoted.
QByteArray shellQuoted(const QString &word)
{
    QByteArray quoted = word.toLocal8Bit();
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

bool readFully(int fd, char *data, size_t size)
{
    while (size > 0) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, ipcTimeoutMs) <= 0)
            return false;
        const ssize_t got = ::read(fd, data, size);
        if (got <= 0)
            return false;
        data += got;
        size -= size_t(got);
    }
    return true;
}

// The Wayland socket sway made in its runtime folder ("wayland-1" on a fresh one).
QString findWaylandSocket(const QString &folder)
{
    for (const QFileInfo &entry : QDir(folder).entryInfoList({QStringLiteral("wayland-*")}, QDir::System)) {
        struct stat info {};
        if (!entry.fileName().endsWith(QLatin1String(".lock")) &&
            ::stat(QFile::encodeName(entry.filePath()).constData(), &info) == 0 && S_ISSOCK(info.st_mode))
            return entry.filePath();
    }
    return {};
}

std::vector<std::string> environmentStrings(const QProcessEnvironment &environment)
{
    std::vector<std::string> strings;
    for (const QString &line : environment.toStringList())
        strings.push_back(line.toStdString());
    return strings;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> result;
    for (std::string &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

void endProcess(pid_t &pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
}

} // namespace

HeadlessSway::HeadlessSway() = default;

HeadlessSway::~HeadlessSway() { stop(); }

bool HeadlessSway::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("sway"));
    if (program.isEmpty()) {
        m_failure = QStringLiteral("sway is not installed (scripts/setup.sh test)");
        return false;
    }
    m_foreignUser = ::getuid() == 0;
    m_uid = ::getuid();
    m_gid = ::getgid();
    if (m_foreignUser && !ensureSwayUser(m_uid, m_gid, m_failure))
        return false;

    m_runtime = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/snipbrook-sway-XXXXXX"));
    const QString folder = m_runtime->path();
    const QString config = folder + QStringLiteral("/config");
    const QString logFile = folder + QStringLiteral("/sway.log");
    m_ipcSocket = folder + QStringLiteral("/ipc.sock");
    if (!m_runtime->isValid() || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0 ||
        !writeFile(config, swayConfig, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther) ||
        !writeFile(logFile, {}, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_failure = QStringLiteral("cannot prepare the runtime folder %1").arg(folder);
        return false;
    }
    if (m_foreignUser) {
        for (const QString &path : {folder, config, logFile}) {
            if (::chown(QFile::encodeName(path).constData(), m_uid, m_gid) != 0) {
                m_failure = QStringLiteral("cannot hand %1 to %2").arg(path, QLatin1String(swayUser));
                return false;
            }
        }
    }

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
    environment.insert(QStringLiteral("HOME"), folder);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    // sway takes its IPC socket path from here when nothing is there yet.
    environment.insert(QStringLiteral("SWAYSOCK"), m_ipcSocket);
    std::vector<std::string> envStrings = environmentStrings(environment);
    std::vector<char *> envp = pointers(envStrings);
    const std::string path = program.toStdString();
    const std::string configPath = config.toStdString();
    const std::string logPath = logFile.toStdString();
    const std::string workDir = folder.toStdString();
    const uid_t uid = m_uid;
    const gid_t gid = m_gid;
    const bool dropPrivileges = m_foreignUser;
    const pid_t parent = ::getpid();

    m_pid = ::fork();
    if (m_pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_APPEND);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
        if (dropPrivileges && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(126);
        // After the identity change, which clears it: sway goes when the program goes.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent || ::chdir(workDir.c_str()) != 0)
            ::_exit(1);
        char *const argv[] = {const_cast<char *>("sway"), const_cast<char *>("-c"),
                              const_cast<char *>(configPath.c_str()), nullptr};
        ::execve(path.c_str(), argv, envp.data());
        ::_exit(127);
    }
    if (m_pid < 0) {
        m_failure = QStringLiteral("fork failed");
        return false;
    }

    // Ready once it has its output: that comes after the config is read and the backend runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool ready = false;
    while (!ready && std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        m_waylandDisplay = findWaylandSocket(folder);
        const auto outputs = QFile::exists(m_ipcSocket) ? request(Request::GetOutputs) : std::nullopt;
        ready = !m_waylandDisplay.isEmpty() && outputs && !outputs->toArray().isEmpty();
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ready) {
        m_failure = QStringLiteral("sway did not start: ") + log().trimmed().section(QLatin1Char('\n'), -3);
        stop();
        return false;
    }
    if (!startKeyboard()) {
        m_failure = QStringLiteral("the virtual keyboard (wtype) did not come up");
        stop();
        return false;
    }
    return true;
}

// Each wtype call adds a keyboard and removes it when done; the seat losing its last keyboard
// makes focus flicker, so one stays for the whole program.
bool HeadlessSway::startKeyboard()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("wtype"));
    if (program.isEmpty())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    addTo(environment);
    std::vector<std::string> envStrings = environmentStrings(environment);
    std::vector<char *> envp = pointers(envStrings);
    const std::string path = program.toStdString();
    const pid_t parent = ::getpid();
    m_keyboardPid = ::fork();
    if (m_keyboardPid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(1);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        char *const argv[] = {const_cast<char *>("wtype"), const_cast<char *>("-s"),
                              const_cast<char *>(keyboardLifetimeMs), nullptr};
        ::execve(path.c_str(), argv, envp.data());
        ::_exit(127);
    }
    if (m_keyboardPid < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(m_keyboardPid, nullptr, WNOHANG) == m_keyboardPid) {
            m_keyboardPid = -1;
            return false;
        }
        const QJsonArray inputs = request(Request::GetInputs).value_or(QJsonValue()).toArray();
        for (const QJsonValue &input : inputs)
            if (input.toObject().value(QLatin1String("type")).toString() == QLatin1String("keyboard"))
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void HeadlessSway::stop()
{
    m_launchNotifier.reset();
    if (m_launchPipe >= 0)
        ::close(m_launchPipe);
    m_launchPipe = -1;
    for (auto &process : m_launched) {
        process->kill();
        process->waitForFinished(2000);
    }
    m_launched.clear();
    endProcess(m_keyboardPid);
    endProcess(m_pid);
    m_runtime.reset();
}

QString HeadlessSway::log() const
{
    if (!m_runtime)
        return {};
    QFile file(m_runtime->path() + QStringLiteral("/sway.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(4000)) : QString();
}

void HeadlessSway::addTo(QProcessEnvironment &environment) const
{
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
    environment.insert(QStringLiteral("SWAYSOCK"), m_ipcSocket);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.remove(QStringLiteral("DISPLAY"));
}

std::optional<QJsonValue> HeadlessSway::request(Request type, const QByteArray &payload) const
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_ipcSocket);
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    QByteArray message(ipcMagic, sizeof ipcMagic);
    const quint32 header[2] = {quint32(payload.size()), quint32(type)};
    message.append(reinterpret_cast<const char *>(header), sizeof header);
    message.append(payload);
    std::optional<QJsonValue> result;
    char replyHeader[ipcHeaderSize];
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL) == message.size() &&
        readFully(fd, replyHeader, sizeof replyHeader) && std::memcmp(replyHeader, ipcMagic, sizeof ipcMagic) == 0) {
        quint32 length = 0;
        std::memcpy(&length, replyHeader + sizeof ipcMagic, sizeof length);
        QByteArray reply(qsizetype(length), Qt::Uninitialized);
        if (readFully(fd, reply.data(), length)) {
            const QJsonDocument document = QJsonDocument::fromJson(reply);
            if (document.isArray())
                result = document.array();
            else if (document.isObject())
                result = document.object();
        }
    }
    ::close(fd);
    return result;
}

bool HeadlessSway::command(const QString &commands) const
{
    const auto reply = request(Request::RunCommand, commands.toUtf8());
    if (!reply || reply->toArray().isEmpty())
        return false;
    for (const QJsonValue &outcome : reply->toArray())
        if (!outcome.toObject().value(QLatin1String("success")).toBool())
            return false;
    return true;
}

bool HeadlessSway::bindKeys(const QString &keys, const QString &program, const QStringList &arguments,
                            const QProcessEnvironment &environment)
{
    if (!m_runtime)
        return false;
    const QString folder = m_runtime->path();
    const QString script = folder + QStringLiteral("/bind-%1.sh").arg(m_launches.size());
    QByteArray body = "#!/bin/sh\n";
    if (m_foreignUser) {
        if (!listenForLaunches())
            return false;
        body += "echo " + QByteArray::number(qsizetype(m_launches.size())) + " > " +
                shellQuoted(folder + QStringLiteral("/launch")) + "\n";
    } else {
        body += "exec env -i";
        for (const QString &variable : environment.toStringList())
            body += ' ' + shellQuoted(variable);
        for (const QString &word : QStringList{program} + arguments)
            body += ' ' + shellQuoted(word);
        body += '\n';
    }
    if (!writeFile(script, body, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                     QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup))
        return false;
    m_launches.push_back({program, arguments, environment});
    return command(QStringLiteral("bindsym %1 exec %2").arg(keys, script));
}

bool HeadlessSway::unbindKeys(const QString &keys) { return command(QStringLiteral("unbindsym %1").arg(keys)); }

// A pipe only sway's user and root can reach, read by this process.
bool HeadlessSway::listenForLaunches()
{
    if (m_launchNotifier)
        return true;
    const QByteArray path = QFile::encodeName(m_runtime->path() + QStringLiteral("/launch"));
    if (::mkfifo(path.constData(), 0600) != 0 || ::chown(path.constData(), m_uid, m_gid) != 0)
        return false;
    // Read and write, so the pipe never reads as ended between two writers.
    m_launchPipe = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_launchPipe < 0)
        return false;
    m_launchNotifier = std::make_unique<QSocketNotifier>(m_launchPipe, QSocketNotifier::Read);
    QObject::connect(m_launchNotifier.get(), &QSocketNotifier::activated, m_launchNotifier.get(),
                     [this] { runLaunches(); });
    return true;
}

void HeadlessSway::runLaunches()
{
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(m_launchPipe, buffer, sizeof buffer)) > 0)
        m_launchBuffer.append(buffer, got);
    std::erase_if(m_launched, [](const std::unique_ptr<QProcess> &process) {
        return process->state() == QProcess::NotRunning;
    });
    qsizetype end = 0;
    while ((end = m_launchBuffer.indexOf('\n')) >= 0) {
        bool ok = false;
        const qsizetype index = m_launchBuffer.left(end).trimmed().toLongLong(&ok);
        m_launchBuffer.remove(0, end + 1);
        if (!ok || index < 0 || index >= qsizetype(m_launches.size()))
            continue;
        const Launch &launch = m_launches[size_t(index)];
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(launch.environment);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(launch.program, launch.arguments);
        m_launched.push_back(std::move(process));
    }
}

} // namespace snipbrook::test
