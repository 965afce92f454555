#pragma once

#include "support/WaitFor.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace snipbrook::test {

// A session bus of the test's own, with no service folders, so nothing installed on the machine
// (the desktop's portal, its notification daemon) is ever started or touched by a test.
class PrivateSessionBus {
public:
    ~PrivateSessionBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    static bool isAvailable() { return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(); }

    // Starts the daemon; the bus's address, or empty when it did not start.
    QString start()
    {
        QFile config(m_folder.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return {};
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:tmpdir=" + m_folder.path().toUtf8() + "</listen>"
                     "<auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                     "<allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                       QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000) || !waitFor([&] { return m_daemon.canReadLine(); }, 10000))
            return {};
        return QString::fromUtf8(m_daemon.readLine().trimmed());
    }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
};

} // namespace snipbrook::test
