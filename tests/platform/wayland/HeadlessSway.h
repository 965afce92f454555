#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <memory>
#include <optional>
#include <vector>

class QProcess;
class QSocketNotifier;
class QTemporaryDir;

namespace snipbrook::test {

// A private headless sway for one test or benchmark program, with one virtual keyboard kept
// alive so focus does not flicker when a test types. sway refuses to run as root: then it runs
// as a system user of its own (created once) with a fresh 0700 runtime folder of that user, and
// the test's clients reach it through the absolute socket path (root may connect to any socket).
// Ended with the program, even when the program crashes.
class HeadlessSway {
public:
    HeadlessSway();
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    // Starts sway and the keyboard and waits until both are there; false (with `failure()`)
    // when sway is missing or does not come up.
    bool start();
    void stop();
    bool isRunning() const { return m_pid > 0; }

    // The absolute Wayland socket path (WAYLAND_DISPLAY) and the IPC socket (SWAYSOCK).
    const QString &waylandDisplay() const { return m_waylandDisplay; }
    const QString &ipcSocket() const { return m_ipcSocket; }
    const QString &failure() const { return m_failure; }
    // What sway wrote to its log so far (for failure messages).
    QString log() const;

    // `environment` for a client of this compositor: WAYLAND_DISPLAY, SWAYSOCK, Qt on Wayland,
    // and no X display, so nothing falls back to an X server by accident.
    void addTo(QProcessEnvironment &environment) const;

    // One IPC request (the i3 protocol sway speaks); the reply's JSON, or nothing.
    enum class Request : quint32 { RunCommand = 0, GetWorkspaces = 1, GetOutputs = 3, GetTree = 4, GetInputs = 100 };
    std::optional<QJsonValue> request(Request type, const QByteArray &payload = {}) const;
    // Runs sway commands (as `swaymsg` would); true when every one succeeded.
    bool command(const QString &commands) const;
    // The layout tree.
    QJsonValue tree() const { return request(Request::GetTree).value_or(QJsonValue()); }

    // Binds a key combination in the compositor (sway syntax, "ctrl+shift+space") to a program
    // run with `environment`. sway runs bound commands as its own user; when that is not ours
    // (we are root), the binding writes to a pipe and this process starts the program, so it
    // runs with our identity. The event loop must turn for that.
    bool bindKeys(const QString &keys, const QString &program, const QStringList &arguments,
                  const QProcessEnvironment &environment);
    bool unbindKeys(const QString &keys);

private:
    struct Launch {
        QString program;
        QStringList arguments;
        QProcessEnvironment environment;
    };
    bool startKeyboard();
    bool listenForLaunches();
    void runLaunches();

    std::unique_ptr<QTemporaryDir> m_runtime;
    pid_t m_pid = -1;
    pid_t m_keyboardPid = -1;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_foreignUser = false;
    QString m_waylandDisplay;
    QString m_ipcSocket;
    QString m_failure;
    std::vector<Launch> m_launches;
    int m_launchPipe = -1;
    std::unique_ptr<QSocketNotifier> m_launchNotifier;
    QByteArray m_launchBuffer;
    std::vector<std::unique_ptr<QProcess>> m_launched;
};

} // namespace snipbrook::test
