#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace snipbrook::test {

// A private headless sway for one test program: a 0700 runtime directory of its own, run as
// `nobody` when we are root (sway refuses root), ended with the program.
class SwayServer {
public:
    SwayServer() = default;
    ~SwayServer();
    SwayServer(const SwayServer &) = delete;
    SwayServer &operator=(const SwayServer &) = delete;

    // False (with failure()) when sway is missing or does not come up.
    bool start();

    // The absolute path of its Wayland socket, usable as WAYLAND_DISPLAY.
    const QString &socket() const { return m_socket; }
    const QString &failure() const { return m_failure; }
    // An environment for Wayland clients of this compositor.
    QProcessEnvironment clientEnvironment() const;

private:
    std::unique_ptr<QTemporaryDir> m_runtime;
    std::unique_ptr<QProcess> m_sway;
    QString m_socket;
    QString m_failure;
};

} // namespace snipbrook::test
