#include "X11TestEnvironment.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace snipbrook::test {
namespace {

std::unique_ptr<QProcess> windowManager;

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// A short-lived connection to the test display.
struct Connection {
    xcb_connection_t *c = xcb_connect(testDisplay().toLocal8Bit().constData(), nullptr);
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return !xcb_connection_has_error(c); }
    const xcb_screen_t *screen() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }
};

// The windows a WINDOW property of `window` names.
std::vector<quint32> windowList(xcb_connection_t *c, xcb_window_t window, const char *property)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, internAtom(c, property), XCB_ATOM_WINDOW, 0, 4096), nullptr);
    std::vector<quint32> windows;
    if (reply) {
        const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
        windows.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return windows;
}

} // namespace

std::optional<ProcessResult> runProcess(const QString &program, const QStringList &arguments, const QByteArray &input,
                                        int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    return ProcessResult{process.exitCode(), process.readAllStandardOutput()};
}

std::unique_ptr<QProcess> startXclipOwner(const QString &type, const QByteArray &bytes)
{
    auto process = std::make_unique<QProcess>();
    // -quiet keeps xclip in the foreground, so this process is the owner.
    process->start(QStringLiteral("xclip"),
                   {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                    QStringLiteral("-t"), type, QStringLiteral("-i")});
    if (!process->waitForStarted(5000))
        return nullptr;
    process->write(bytes);
    process->closeWriteChannel();
    return process;
}

std::optional<QByteArray> xclipRead(const QString &type)
{
    const auto result = runProcess(QStringLiteral("xclip"),
                                   {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                    type, QStringLiteral("-o")});
    if (!result || result->exitCode != 0)
        return std::nullopt;
    return result->output;
}

// The window manager has taken the window on (it is in _NET_CLIENT_LIST); only then does it
// honour requests about it.
bool isManaged(quint32 window)
{
    const Connection x;
    if (!x.ok())
        return false;
    const std::vector<quint32> clients = windowList(x.c, x.screen()->root, "_NET_CLIENT_LIST");
    return std::find(clients.begin(), clients.end(), window) != clients.end();
}

bool windowManagerRunning()
{
    const Connection x;
    if (!x.ok())
        return false;
    const std::vector<quint32> check = windowList(x.c, x.screen()->root, "_NET_SUPPORTING_WM_CHECK");
    return check.size() == 1 && windowList(x.c, check.front(), "_NET_SUPPORTING_WM_CHECK") == check;
}

// The window manager announces itself before it takes on new windows; a window mapped in
// between stays unmanaged. A probe window, mapped again until it is managed, shows it is ready.
bool windowManagerManagesWindows()
{
    const Connection x;
    if (!x.ok())
        return false;
    const xcb_window_t probe = xcb_generate_id(x.c);
    xcb_create_window(x.c, XCB_COPY_FROM_PARENT, probe, x.screen()->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen()->root_visual, 0, nullptr);
    bool managed = false;
    for (int attempt = 0; attempt < 20 && !managed; ++attempt) {
        xcb_unmap_window(x.c, probe);
        xcb_map_window(x.c, probe);
        xcb_flush(x.c);
        managed = QTest::qWaitFor([&] { return isManaged(probe); }, 500);
    }
    xcb_destroy_window(x.c, probe);
    xcb_flush(x.c);
    return managed && QTest::qWaitFor([&] { return !isManaged(probe); }, 5000);
}

bool startWindowManager()
{
    if (windowManager && windowManager->state() == QProcess::Running)
        return true;
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        return false;
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!process->waitForStarted(5000))
        return false;
    windowManager = std::move(process);
    if (!QTest::qWaitFor([] { return windowManagerRunning(); }, 10000))
        return false;
    return windowManagerManagesWindows();
}

void stopWindowManager()
{
    if (!windowManager)
        return;
    windowManager->terminate();
    windowManager->waitForFinished(5000);
    windowManager.reset();
    [[maybe_unused]] const bool stopped = QTest::qWaitFor([] { return !windowManagerRunning(); }, 5000);
}

std::optional<TestWindow> openTestWindow(const QString &instance, const QString &windowClass, bool skipTaskbar)
{
    TestWindow window;
    window.process = std::make_unique<QProcess>();
    QStringList arguments{QStringLiteral("--test-window"), instance, windowClass};
    if (skipTaskbar)
        arguments.append(QStringLiteral("--skip-taskbar"));
    window.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.process->start(QCoreApplication::applicationFilePath(), arguments);
    if (!window.process->waitForStarted(5000))
        return std::nullopt;
    if (!QTest::qWaitFor([&] { return window.process->canReadLine(); }, 20000))
        return std::nullopt;
    window.window = window.process->readLine().trimmed().toUInt();
    window.pid = window.process->processId();
    if (window.window == 0)
        return std::nullopt;
    if (windowManagerRunning() && !QTest::qWaitFor([&] { return isManaged(window.window); }, 10000))
        return std::nullopt;
    return window;
}

std::optional<int> runTestWindowHelper(int argc, char **argv)
{
    if (argc < 4 || std::strcmp(argv[1], "--test-window") != 0)
        return std::nullopt;
    const bool skipTaskbar = argc > 4 && std::strcmp(argv[4], "--skip-taskbar") == 0;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    std::string wmClass = std::string(argv[2]) + '\0' + argv[3] + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, internAtom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    if (skipTaskbar) {
        const xcb_atom_t state = internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, internAtom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1,
                            &state);
    }
    xcb_map_window(c, window);
    xcb_flush(c);
    std::cout << window << std::endl;
    // Lives until the test closes our input.
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    xcb_disconnect(c);
    return 0;
}

} // namespace snipbrook::test
