#pragma once

#include "app/ApplicationState.h"
#include "app/CommandHandler.h"
#include "app/CommandLine.h"

#include "support/DiagnosticsCapture.h"
#include "support/FakeEmbedders.h"
#include "support/FakePasteboard.h"
#include "support/FakePreferences.h"
#include "support/FakeWorkspace.h"
#include "support/FixedClock.h"
#include "support/WaitFor.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace snipbrook::test {

// The whole application state over fake desktop services, with its files in a temporary folder,
// and the command handler in front of it as the instance has it.
class AppStateFixture : public ::testing::Test {
protected:
    QTemporaryDir folder;
    FakePreferences preferences;
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    HashingEmbedder embedder;
    FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "America/New_York");
    DiagnosticsCapture log;
    std::unique_ptr<ApplicationState> state;
    std::unique_ptr<CommandHandler> commands;

    AppPaths paths() const
    {
        const QString root = folder.path();
        return {root + QStringLiteral("/data"), root + QStringLiteral("/documents"), root + QStringLiteral("/config"),
                root + QStringLiteral("/runtime")};
    }
    void create()
    {
        DesktopServices services{pasteboard, workspace, preferences, clock, embedder, true, {}, {}};
        ApplicationState::Options options;
        options.onStoreFailure = [](const QString &) {};
        options.storageStartDelay = std::chrono::milliseconds(0);
        options.timings = {20, 50, 5000};
        state = std::make_unique<ApplicationState>(paths(), services, options);
        CommandHandler::Hooks hooks;
        hooks.statusText = [this] { return state->statusText(); };
        commands = std::make_unique<CommandHandler>(state->clipboard(), state->configuration(), hooks);
    }
    void destroy()
    {
        commands.reset();
        state.reset();
    }
    void TearDown() override { destroy(); }

    // Items stored by an earlier run, the last one newest; `count` of "stored item N".
    void seed(int count, const QString &prefix = QStringLiteral("stored item"))
    {
        CoreDataManager store(paths().dataDir, [](const QString &) {});
        QList<ClipboardItem> items;
        for (int i = 0; i < count; ++i)
            items.append({QUuid::createUuid(), ClipboardItemType::text, QStringLiteral("%1 %2").arg(prefix).arg(i),
                          QStringLiteral("%1 %2").arg(prefix).arg(i), clock.now().addSecs(i - count), {}, false, {}});
        bool done = false;
        store.batchInsertItems(items, [&](const BatchInsertResult &) { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }

    // Runs a command line as `snipbrook ARGS` would, against the handler; waits for its answer.
    CliResponse run(const QStringList &args, const QString &stdinText = {})
    {
        const ParsedCommandLine parsed = parseCommandLine(args, [&] { return stdinText; });
        if (const auto *local = std::get_if<PrintAndExit>(&parsed))
            return {local->exitCode, local->toStderr ? QString() : local->text, local->toStderr ? local->text : QString()};
        std::optional<CliResponse> answer;
        commands->handle(std::get<CliRequest>(parsed), [&](const CliResponse &response) { answer = response; });
        EXPECT_TRUE(waitFor([&] { return answer.has_value(); }, 10000)) << args.join(' ').toStdString();
        return answer.value_or(CliResponse{-1, {}, QStringLiteral("no answer")});
    }
    QStringList lines(const QStringList &args) { return run(args).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

} // namespace snipbrook::test
