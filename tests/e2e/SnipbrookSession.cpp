#include "SnipbrookSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>

namespace snipbrook::test {

SnipbrookSession::SnipbrookSession()
{
    const QString root = m_home.path();
    for (const char *dir : {"/data", "/config", "/run", "/Documents", "/share/applications"})
        QDir().mkpath(root + QLatin1String(dir));
    QFile::setPermissions(root + QStringLiteral("/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("HOME"), root);
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    m_environment.insert(QStringLiteral("XDG_DATA_DIRS"), root + QStringLiteral("/share:/usr/local/share:/usr/share"));
    m_environment.remove(QStringLiteral("QT_QPA_PLATFORM"));

    // A user who has seen the welcome and keeps Snipbrook in the tray: no window takes the focus
    // from the windows a test works in.
    QDir().mkpath(root + QStringLiteral("/config/Snipbrook"));
    QFile settings(root + QStringLiteral("/config/Snipbrook/Snipbrook.conf"));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[General]\nhasShownWelcome=true\nstartInBackground=true\n");
}

SnipbrookSession::~SnipbrookSession()
{
    if (isRunning())
        killHard();
}

void SnipbrookSession::useWaylandDisplay(const QString &socket)
{
    m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    m_environment.insert(QStringLiteral("SNIPBROOK_PLATFORM"), QStringLiteral("wayland"));
    m_environment.remove(QStringLiteral("DISPLAY"));
}

bool SnipbrookSession::start()
{
    m_instance = std::make_unique<QProcess>();
    m_instance->setProcessEnvironment(m_environment);
    m_instance->setProcessChannelMode(QProcess::MergedChannels);
    m_instance->start(QStringLiteral(SNIPBROOK_BINARY), {});
    if (!m_instance->waitForStarted(5000))
        return false;
    if (!QTest::qWaitFor([&] { return !isRunning() || cli({QStringLiteral("status")}, {}, 2000).exitCode == 0; }, 20000) ||
        !isRunning())
        return false;
    // On a display the main window shows, then goes to the tray: wait for that, so it takes no
    // focus later. Without a display there is no window.
    if (!m_environment.contains(QStringLiteral("DISPLAY")) && !m_environment.contains(QStringLiteral("WAYLAND_DISPLAY")))
        return true;
    static_cast<void>(
        QTest::qWaitFor([&] { return instanceOutput().contains(QStringLiteral("Started in the background")); }, 5000));
    return isRunning();
}

bool SnipbrookSession::quit()
{
    if (!isRunning())
        return false;
    cli({QStringLiteral("quit")});
    const bool ended = QTest::qWaitFor([&] { return !isRunning(); }, 15000);
    return ended && m_instance->exitStatus() == QProcess::NormalExit && m_instance->exitCode() == 0;
}

void SnipbrookSession::killHard()
{
    if (!m_instance)
        return;
    m_instance->kill();
    m_instance->waitForFinished(5000);
}

QString SnipbrookSession::instanceOutput()
{
    if (m_instance)
        m_output += m_instance->readAll();
    return QString::fromUtf8(m_output);
}

CliResult SnipbrookSession::cli(const QStringList &arguments, const QByteArray &input, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(SNIPBROOK_BINARY), arguments);
    CliResult result;
    if (!process.waitForStarted(5000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    // The event loop keeps turning meanwhile: this test process may own the clipboard.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.elapsedMs = clock.elapsed();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

std::optional<QJsonArray> SnipbrookSession::list(const QStringList &extra) const
{
    const CliResult result = cli(QStringList{QStringLiteral("list"), QStringLiteral("--json")} + extra);
    if (result.exitCode != 0)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(result.out);
    if (!document.isArray())
        return std::nullopt;
    return document.array();
}

bool SnipbrookSession::waitForList(const std::function<bool(const QJsonArray &)> &condition, int timeoutMs) const
{
    return QTest::qWaitFor(
        [&] {
            const auto items = list();
            return items && condition(*items);
        },
        timeoutMs);
}

QJsonObject newest(const QJsonArray &items) { return items.isEmpty() ? QJsonObject() : items.first().toObject(); }

QString newestContent(const QJsonArray &items) { return newest(items).value(QLatin1String("content")).toString(); }

bool hasContent(const QJsonArray &items, const QString &content)
{
    return std::any_of(items.begin(), items.end(), [&](const QJsonValue &item) {
        return item.toObject().value(QLatin1String("content")).toString() == content;
    });
}

} // namespace snipbrook::test
