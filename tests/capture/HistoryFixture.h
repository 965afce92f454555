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

#include <memory>

namespace snipbrook::test {

// A history wired to fakes of the clipboard, the desktop, storage and the vector index, with a
// clock fixed at noon of a plain Wednesday in New York.
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
    ClipboardTimings timings{/*pollIntervalMs*/ 20, /*storageWaitMs*/ 10, /*internalCopyResetMs*/ 50,
                             /*snapshotTimeoutMs*/ 5000};
    std::unique_ptr<ClipboardManager> history;

    void TearDown() override
    {
        // Background storage reads outlive the manager; the fakes must outlive them.
        if (history) {
            EXPECT_TRUE(waitForDeliveries());
        }
        history.reset();
        // Posted work of the manager dies with it; nothing may run against the fakes after this.
        QCoreApplication::processEvents();
    }

    void setMaxItems(qint64 maxItems)
    {
        AppConfiguration document = configuration.configuration();
        document.settings.maxClipboardItems = maxItems;
        configuration.setConfiguration(document);
    }

    // Creates the history and waits until its start-up load has finished.
    ClipboardManager &start()
    {
        history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, storage, vectorStore,
                                                     clock, timings);
        EXPECT_TRUE(waitFor([&] { return log.count(QStringLiteral("✅ Legacy similarity index initialized")) > 0; }));
        return *history;
    }

    void frontApp(const QString &name, std::optional<QString> bundle)
    {
        workspace.front = RunningApplication{name, std::move(bundle), 4242, true, true};
    }

    // Another application copies the text; returns once the history shows it at the top.
    bool copyAndWait(const QString &text)
    {
        pasteboard.copyText(text);
        return waitForTop(text);
    }

    bool waitForTop(const QString &content)
    {
        return waitFor([&] { return !history->clipboardItems().isEmpty() && history->clipboardItems().first().content == content; });
    }

    QStringList contents() const
    {
        QStringList result;
        for (const ClipboardItem &item : history->clipboardItems())
            result.append(item.content);
        return result;
    }

    // Until every background result the history waits for has been handed to it (each waits
    // through a future watcher that is the history's child and goes once it has delivered).
    bool waitForDeliveries()
    {
        return waitFor([&] { return history->findChildren<QFutureWatcherBase *>(Qt::FindDirectChildrenOnly).isEmpty(); });
    }

    ClipboardItem makeItem(ClipboardItemType type, const QString &content, qint64 secondsAgo = 0) const
    {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.type = type;
        item.content = content;
        item.preview = content.left(100);
        item.timestamp = clock.now().addSecs(-secondsAgo);
        return item;
    }

    // Puts items at the top in the given order (the last one ends up newest).
    void addAll(const QList<ClipboardItem> &items)
    {
        for (const ClipboardItem &item : items)
            history->addItem(item);
        ASSERT_TRUE(waitFor([&] {
            const QList<ClipboardItem> &listed = history->clipboardItems();
            return !listed.isEmpty() && listed.first().id == items.last().id;
        }));
    }
};

} // namespace snipbrook::test
