#pragma once

#include <QString>

#include <sys/types.h>

namespace snipbrook::test {

// A private X server for one test or benchmark program. It picks a free display number itself
// (-displayfd) and is ended with the program, even when the program crashes.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // Starts Xvfb and waits until it accepts connections; false (with `failure()`) when Xvfb is
    // missing or does not come up.
    bool start();
    void stop();

    // ":N" once started.
    const QString &display() const { return m_display; }
    const QString &failure() const { return m_failure; }

private:
    pid_t m_pid = -1;
    QString m_display;
    QString m_failure;
};

} // namespace snipbrook::test
