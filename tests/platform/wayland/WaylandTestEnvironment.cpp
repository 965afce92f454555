#include "WaylandTestEnvironment.h"

#include "support/WaitFor.h"

#include <QJsonArray>

namespace snipbrook::test {
namespace {

void collectWindows(const QJsonObject &node, std::vector<QJsonObject> &found)
{
    if (node.contains(QLatin1String("app_id")) || node.value(QLatin1String("pid")).toInt() > 0)
        found.push_back(node);
    for (const char *children : {"nodes", "floating_nodes"})
        for (const QJsonValue &child : node.value(QLatin1String(children)).toArray())
            collectWindows(child.toObject(), found);
}

} // namespace

std::unique_ptr<QProcess> clientProcess()
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    testCompositor().addTo(environment);
    process->setProcessEnvironment(environment);
    return process;
}

std::optional<ClientResult> runClient(const QString &program, const QStringList &arguments, const QByteArray &input,
                                      int timeoutMs)
{
    const auto process = clientProcess();
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return std::nullopt;
    process->write(input);
    process->closeWriteChannel();
    if (!waitFor([&] { return process->state() == QProcess::NotRunning; }, timeoutMs)) {
        process->kill();
        process->waitForFinished(1000);
        return std::nullopt;
    }
    return ClientResult{process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
                        process->readAllStandardOutput()};
}

bool wlCopy(const QByteArray &bytes, const QString &type)
{
    QStringList arguments;
    if (!type.isEmpty())
        arguments << QStringLiteral("--type") << type;
    const auto result = runClient(QStringLiteral("wl-copy"), arguments, bytes);
    return result && result->exitCode == 0;
}

std::optional<QByteArray> wlPaste(const QString &type)
{
    QStringList arguments{QStringLiteral("--no-newline")};
    if (!type.isEmpty())
        arguments << QStringLiteral("--type") << type;
    const auto result = runClient(QStringLiteral("wl-paste"), arguments);
    if (!result || result->exitCode != 0)
        return std::nullopt;
    return result->output;
}

bool wtype(const QStringList &arguments)
{
    const auto result = runClient(QStringLiteral("wtype"), arguments);
    return result && result->exitCode == 0;
}

std::vector<QJsonObject> windows()
{
    std::vector<QJsonObject> found;
    collectWindows(testCompositor().tree().toObject(), found);
    return found;
}

std::optional<QJsonObject> findWindow(const std::function<bool(const QJsonObject &)> &predicate)
{
    for (const QJsonObject &window : windows())
        if (predicate(window))
            return window;
    return std::nullopt;
}

std::optional<QJsonObject> windowOfApp(const QString &appId)
{
    return findWindow([&](const QJsonObject &w) { return w.value(QLatin1String("app_id")).toString() == appId; });
}

std::optional<QJsonObject> focusedWindow()
{
    return findWindow([](const QJsonObject &w) { return w.value(QLatin1String("focused")).toBool(); });
}

bool focusApp(const QString &appId)
{
    const auto window = windowOfApp(appId);
    if (!window)
        return false;
    const QString id = QString::number(window->value(QLatin1String("id")).toInteger());
    return testCompositor().command(QStringLiteral("[con_id=%1] focus").arg(id)) &&
           waitFor([&] { return focusedWindow().value_or(QJsonObject()).value(QLatin1String("app_id")).toString() == appId; },
                   5000);
}

} // namespace snipbrook::test
