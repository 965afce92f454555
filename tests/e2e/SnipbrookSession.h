#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace snipbrook::test {

// What one command-line call printed and returned.
struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;
};

// One user's Snipbrook on the test display: a private home with its own XDG folders, the
// running instance, and the command line talking to it.
class SnipbrookSession {
public:
    SnipbrookSession();
    ~SnipbrookSession();

    bool isValid() const { return m_home.isValid(); }
    QString home() const { return m_home.path(); }
    QString documentsDir() const { return m_home.path() + QStringLiteral("/Documents"); }
    QString dataDir() const { return m_home.path() + QStringLiteral("/data/Snipbrook"); }
    // Desktop entries placed here are found by the instance.
    QString applicationsDir() const { return m_home.path() + QStringLiteral("/share/applications"); }

    // Makes the program a client of the Wayland compositor at `socket` (an absolute path), with
    // no X display to fall back to.
    void useWaylandDisplay(const QString &socket);

    // Starts the instance and waits until its command line answers.
    bool start();
    // Asks it to quit and waits for it to end; false when it did not end cleanly.
    bool quit();
    void killHard();
    bool isRunning() const { return m_instance && m_instance->state() == QProcess::Running; }
    qint64 instancePid() const { return m_instance ? m_instance->processId() : 0; }
    // What the instance printed so far (its diagnostic lines).
    QString instanceOutput();

    CliResult cli(const QStringList &arguments, const QByteArray &input = {}, int timeoutMs = 30000) const;
    // `list --json`, or nothing when the call failed.
    std::optional<QJsonArray> list(const QStringList &extra = {}) const;
    // Polls the listing until the condition holds, with a bound.
    bool waitForList(const std::function<bool(const QJsonArray &)> &condition, int timeoutMs = 10000) const;

    QProcessEnvironment environment() const { return m_environment; }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    std::unique_ptr<QProcess> m_instance;
    QByteArray m_output;
};

// The newest item in a listing, or an empty object.
QJsonObject newest(const QJsonArray &items);
// Contents of the newest item in a listing, or an empty string.
QString newestContent(const QJsonArray &items);
// Whether any item in a listing has these contents.
bool hasContent(const QJsonArray &items, const QString &content);

} // namespace snipbrook::test
