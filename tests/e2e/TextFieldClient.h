#pragma once

#include "support/WaitFor.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <memory>
#include <optional>

namespace snipbrook::test {

// The test's text window (TextFieldWindow.cpp) as another application: it prints its X window id,
// then each text that lands in its field, a line each. The test target defines SNIPBROOK_TEXT_WINDOW.
struct TextFieldClient {
    std::unique_ptr<QProcess> process;
    QByteArray received;

    explicit TextFieldClient(std::unique_ptr<QProcess> client) : process(std::move(client)) {}
    TextFieldClient(const TextFieldClient &) = delete;
    TextFieldClient &operator=(const TextFieldClient &) = delete;
    ~TextFieldClient()
    {
        process->closeWriteChannel();
        if (!process->waitForFinished(5000))
            process->kill();
    }

    // Starts it; its first line, or nothing when it did not come up.
    std::optional<QByteArray> start(const QStringList &arguments)
    {
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(SNIPBROOK_TEXT_WINDOW), arguments);
        if (!process->waitForStarted(5000) || !waitFor([&] { return process->canReadLine(); }, 20000))
            return std::nullopt;
        return process->readLine().trimmed();
    }

    // Whether the field's text became `text`, within a bound.
    bool waitForText(const QByteArray &text)
    {
        return waitFor(
            [&] {
                while (process->canReadLine()) {
                    received = process->readLine();
                    received.chop(1);
                }
                return received == text;
            },
            10000);
    }
};

} // namespace snipbrook::test
