#pragma once

#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "search/SimilaritySearchKitManager.h"

#include "support/DiagnosticsCapture.h"
#include "support/FakeHistoryStorage.h"
#include "support/FakePasteboard.h"
#include "support/FakePreferences.h"
#include "support/FakeSemanticSearcher.h"
#include "support/FakeWorkspace.h"
#include "support/FixedClock.h"
#include "support/WaitFor.h"

#include <QFutureWatcher>

#include <gtest/gtest.h>

namespace snipbrook::test {

// A history on a fake clipboard, desktop and vector index, at noon of a plain Wednesday in New York.
class HistoryFixture : public ::testing::Test {
protected:
    FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    FakeHistoryStorage storage;
    FakeSemanticSearcher vectorStore;
    FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "America/New_York");
    DiagnosticsCapture log;
    ClipboardTimings timings{20, 10, 50, 5000}; // poll, storage wait, own-write window, read time-out
    std::unique_ptr<ClipboardManager> history;

    void TearDown() override
    {
        if (history) { // storage reads outlive the manager; the fakes must outlive them
            EXPECT_TRUE(waitForDeliveries());
        }
        history.reset();
    }
    // Until every background result has reached the history (each comes through a watcher child).
    bool waitForDeliveries() { return waitFor([&] { return history->findChildren<QFutureWatcherBase *>().isEmpty(); }); }
    void setMaxItems(qint64 maxItems)
    {
        AppConfiguration document = configuration.configuration();
        document.settings.maxClipboardItems = maxItems;
        configuration.setConfiguration(document);
    }
    void create() { history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, storage, vectorStore, clock, timings); }
    // Creates the history and waits for its start-up load.
    void start()
    {
        create();
        ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("✅ Legacy similarity index initialized")) > 0; }));
    }
    void frontApp(const QString &name, const QString &bundle) { workspace.front = RunningApplication{name, bundle, 42, true, true}; }
    bool copyAndWait(const QString &text)
    {
        pasteboard.copyText(text);
        return waitFor([&] { return contents().value(0) == text; });
    }
    QStringList contents() const
    {
        QStringList result;
        for (const ClipboardItem &item : history->clipboardItems())
            result.append(item.content);
        return result;
    }
    ClipboardItem makeItem(ClipboardItemType type, const QString &content, qint64 secondsAgo = 0) const
    {
        return {QUuid::createUuid(), type, content, content, clock.now().addSecs(-secondsAgo), {}, false};
    }
    // Adds the items in order and waits until the last one is on top.
    void addAll(const QList<ClipboardItem> &items)
    {
        for (const ClipboardItem &item : items)
            history->addItem(item);
        ASSERT_TRUE(waitFor([&] { return history->clipboardItems().value(0).id == items.last().id; }));
    }
    bool stored(const QUuid &id) { return storage.stored(id).has_value(); }
};

} // namespace snipbrook::test
