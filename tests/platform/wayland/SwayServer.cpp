#include "SwayServer.h"

#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace snipbrook::test {
namespace {

constexpr uid_t nobody = 65534;

} // namespace

SwayServer::~SwayServer()
{
    if (m_sway) {
        m_sway->terminate();
        if (!m_sway->waitForFinished(5000))
            m_sway->kill();
        m_sway->waitForFinished(5000);
    }
}

bool SwayServer::start()
{
    const QString sway = QStandardPaths::findExecutable(QStringLiteral("sway"));
    if (sway.isEmpty()) {
        m_failure = QStringLiteral("sway is not installed");
        return false;
    }
    const bool root = ::geteuid() == 0;
    m_runtime = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/snipbrook-sway-XXXXXX"));
    const QString dir = m_runtime->path();
    QFile config(dir + QStringLiteral("/config"));
    if (!m_runtime->isValid() || !config.open(QIODevice::WriteOnly)) {
        m_failure = QStringLiteral("no runtime directory");
        return false;
    }
    config.write("output HEADLESS-1 resolution 800x600\n");
    config.close();
    if (root && (::chown(QFile::encodeName(dir).constData(), nobody, nobody) != 0
                 || ::chown(QFile::encodeName(config.fileName()).constData(), nobody, nobody) != 0)) {
        m_failure = QStringLiteral("cannot hand the runtime directory to nobody");
        return false;
    }
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QStringList arguments{QStringLiteral("-i"), QStringLiteral("HOME=") + dir, QStringLiteral("XDG_RUNTIME_DIR=") + dir,
                          QStringLiteral("PATH=/usr/bin:/bin"), QStringLiteral("WLR_BACKENDS=headless"),
                          QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"), QStringLiteral("WLR_RENDERER=pixman"),
                          sway, QStringLiteral("-c"), config.fileName()};
    m_sway = std::make_unique<QProcess>();
    m_sway->setStandardOutputFile(QProcess::nullDevice());
    m_sway->setStandardErrorFile(dir + QStringLiteral("/sway.log"));
    if (root) {
        // setpriv drops to nobody and keeps sway tied to our life.
        arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                QStringLiteral("--clear-groups"), QStringLiteral("--pdeathsig"), QStringLiteral("TERM"),
                                QStringLiteral("env")} + arguments;
        m_sway->start(QStringLiteral("setpriv"), arguments);
    } else {
        m_sway->start(QStringLiteral("env"), arguments);
    }
    const bool up = waitFor(
        [&] {
            if (m_sway->state() == QProcess::NotRunning)
                return true;
            for (const QString &name : QDir(dir).entryList({QStringLiteral("wayland-*")}, QDir::System)) {
                if (!name.endsWith(QStringLiteral(".lock")))
                    m_socket = dir + QLatin1Char('/') + name;
            }
            return !m_socket.isEmpty();
        },
        20000);
    if (!up || m_socket.isEmpty()) {
        m_failure = QStringLiteral("sway did not start");
        return false;
    }
    return true;
}

QProcessEnvironment SwayServer::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_socket);
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

} // namespace snipbrook::test
