#pragma once

#include "HeadlessSway.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace snipbrook::test {

// The private compositor of this test program (see WaylandTestMain.cpp); not running when sway
// could not start, with the reason.
HeadlessSway &testCompositor();
QString missingCompositorReason();

#define SKIP_WITHOUT_SWAY()                                                                             \
    do {                                                                                                \
        if (!::snipbrook::test::testCompositor().isRunning())                                           \
            GTEST_SKIP() << ::snipbrook::test::missingCompositorReason().toStdString();                 \
    } while (false)

// A program run to its end as a client of the test compositor, while the event loop keeps turning;
// nothing when it could not start or did not end in time.
struct ClientResult {
    int exitCode = -1;
    QByteArray output;
};
std::optional<ClientResult> runClient(const QString &program, const QStringList &arguments,
                                      const QByteArray &input = {}, int timeoutMs = 10000);

// A client process of the test compositor, not yet started.
std::unique_ptr<QProcess> clientProcess();

// `wl-copy` of `bytes` as `type` (empty: text). It forks and the copy lives on in the
// background until something else takes the clipboard or the compositor goes.
bool wlCopy(const QByteArray &bytes, const QString &type = {});
// The clipboard read back with `wl-paste --no-newline`; nothing when empty or failed.
std::optional<QByteArray> wlPaste(const QString &type = {});
// Sends keys with `wtype` (its arguments, such as {"-M", "ctrl", "-k", "v", "-m", "ctrl"}).
bool wtype(const QStringList &arguments);

// Views and windows (nodes with an app id or a pid) of the compositor's tree, depth first.
std::vector<QJsonObject> windows();
// The first window the predicate picks, if any.
std::optional<QJsonObject> findWindow(const std::function<bool(const QJsonObject &)> &predicate);
std::optional<QJsonObject> windowOfApp(const QString &appId);
std::optional<QJsonObject> focusedWindow();
// Focuses the window of `appId` and waits until the compositor says it has the focus.
bool focusApp(const QString &appId);

} // namespace snipbrook::test
