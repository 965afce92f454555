#pragma once

#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "search/SimilaritySearchKitManager.h"
#include "storage/HybridDataManager.h"

#include "support/DiagnosticsCapture.h"
#include "support/FakeEmbedders.h"
#include "support/FakePasteboard.h"
#include "support/FakePreferences.h"
#include "support/FakeSemanticSearcher.h"
#include "support/FakeWorkspace.h"
#include "support/FixedClock.h"
#include "support/WaitFor.h"

#include <QFutureWatcher>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace snipbrook::test {

// A history on a fake clipboard and desktop and on the real store and index in a temporary folder
// (words embedded by hashing), at noon of a plain Wednesday in New York.
class HistoryFixture : public ::testing::Test {
protected:
    using Type = ClipboardItemType;

    QTemporaryDir folder;
    FakePreferences preferences;
    ConfigurationManager configuration{preferences, QString()};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    CoreDataManager store{folder.path() + QStringLiteral("/data"), [](const QString &) {}};
    HashingEmbedder embedder;
    VectorStoreManager vectors{embedder, folder.path()};
    std::chrono::milliseconds storageStartDelay{0};
    std::unique_ptr<HybridDataManager> storage;
    FakeSemanticSearcher heldIndex; // for searches that must finish out of order
    SemanticSearcher *searcher = &vectors;
    FixedClock clock = FixedClock::at("2024-05-15T12:00:00", "America/New_York");
    DiagnosticsCapture log;
    ClipboardTimings timings{20, 50, 5000}; // poll, own-write window, read time-out
    std::unique_ptr<ClipboardManager> history;

    void TearDown() override
    {
        if (history) { // storage reads may outlive the history; the store must outlive them
            EXPECT_TRUE(waitForDeliveries());
        }
        history.reset();
        storage.reset();
    }
    // Until every background result has reached the history (each comes through a watcher child).
    bool waitForDeliveries() { return waitFor([&] { return history->findChildren<QFutureWatcherBase *>().isEmpty(); }); }
    void create()
    {
        storage = std::make_unique<HybridDataManager>(store, vectors, preferences, folder.path(), storageStartDelay);
        history = std::make_unique<ClipboardManager>(configuration, pasteboard, workspace, *storage, *searcher, clock, timings);
    }
    void start()
    {
        create();
        ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("✅ Legacy similarity index initialized")) > 0; }));
    }
    void setMaxItems(qint64 maxItems)
    {
        AppConfiguration document = configuration.configuration();
        document.settings.maxClipboardItems = maxItems;
        configuration.setConfiguration(document);
    }
    void setMaxItemSize(std::optional<qint64> bytes)
    {
        AppConfiguration document = configuration.configuration();
        document.settings.maxItemSizeBytes = bytes;
        configuration.setConfiguration(document);
    }
    void frontApp(const char *name) { workspace.front = RunningApplication{QString::fromLatin1(name), QStringLiteral("org.%1").arg(QLatin1String(name)), 42, true, true}; }
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
    ClipboardItem makeItem(Type type, const QString &content, qint64 secondsAgo = 0) const
    {
        return {QUuid::createUuid(), type, content, content, clock.now().addSecs(-secondsAgo), {}, false, {}};
    }
    void addAll(const QList<ClipboardItem> &items) // the last one ends up on top
    {
        for (const ClipboardItem &item : items)
            history->addItem(item);
        ASSERT_TRUE(waitFor([&] { return !history->clipboardItems().isEmpty() && history->clipboardItems()[0].id == items.last().id; }));
    }
    // A history over the held search index (searches finish when released) holding `count`
    // texts, "item 0" newest: what the views over the history are tested on.
    void startWithTexts(int count)
    {
        searcher = &heldIndex;
        start();
        QList<ClipboardItem> items;
        for (int i = count - 1; i >= 0; --i)
            items.append(makeItem(Type::text, QStringLiteral("item %1").arg(i), i));
        if (!items.isEmpty())
            addAll(items);
    }
    // Lets every held search finish, so none is left waiting when the views go.
    void releaseHeldSearches()
    {
        for (const QString &query : QStringList(heldIndex.heldQueries))
            heldIndex.release(query);
    }
    QList<ClipboardItem> storedItems() { return storage->loadItems(std::nullopt); }
    bool stored(const QUuid &id)
    {
        const auto items = storedItems();
        return std::any_of(items.begin(), items.end(), [&](const ClipboardItem &item) { return item.id == id; });
    }
    void seed(const QList<ClipboardItem> &items) // records an earlier run left
    {
        for (const ClipboardItem &item : items)
            store.createItem(item);
    }
};

} // namespace snipbrook::test
