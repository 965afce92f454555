#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace snipbrook::test {

// The private X server of this test program (see X11TestMain.cpp); empty when Xvfb is missing.
const QString &testDisplay();
QString missingDisplayReason();

#define SKIP_WITHOUT_X_SERVER()                                                                         \
    do {                                                                                                \
        if (::snipbrook::test::testDisplay().isEmpty())                                                 \
            GTEST_SKIP() << ::snipbrook::test::missingDisplayReason().toStdString();                    \
    } while (false)

// Runs a program to its end while the event loop keeps turning (our own clipboard is served
// from it), with a bound; nothing when it could not start or did not end in time.
struct ProcessResult {
    int exitCode = -1;
    QByteArray output;
};
std::optional<ProcessResult> runProcess(const QString &program, const QStringList &arguments,
                                        const QByteArray &input = {}, int timeoutMs = 10000);

// `xclip` kept running as the clipboard owner of `bytes` under `type`.
std::unique_ptr<QProcess> startXclipOwner(const QString &type, const QByteArray &bytes);
// The clipboard read back through xclip as `type`.
std::optional<QByteArray> xclipRead(const QString &type);

// The window manager of the test display, started and stopped on demand.
bool startWindowManager();
void stopWindowManager();
bool windowManagerRunning();
bool isManaged(quint32 window);

// A window of another process with a known WM_CLASS (this program re-run as a helper).
struct TestWindow {
    std::unique_ptr<QProcess> process;
    quint32 window = 0;
    qint64 pid = 0;
};
std::optional<TestWindow> openTestWindow(const QString &instance, const QString &windowClass,
                                         bool skipTaskbar = false);
// The helper's entry point; returns the exit code, or nothing when argv is not a helper call.
std::optional<int> runTestWindowHelper(int argc, char **argv);

} // namespace snipbrook::test
