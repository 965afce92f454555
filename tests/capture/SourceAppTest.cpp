#include "capture/AppIconCache.h"
#include "capture/SourceAppDetector.h"
#include "support/FakeWorkspace.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::FakeWorkspace;

TEST(SourceAppDetector, FrontApplicationIsTakenUnchanged)
{
    FakeWorkspace ws;
    ws.front = FakeWorkspace::app("Finder", "com.apple.finder", 10);
    const SourceAppInfo info = SourceAppDetector(ws).detectSourceApp();
    EXPECT_EQ(info.bundleIdentifier, "com.apple.finder");
    EXPECT_EQ(info.processIdentifier, 10);
    ws.front = RunningApplication{std::nullopt, std::nullopt, 11, true, true};
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp(), (SourceAppInfo{std::nullopt, std::nullopt, 11}));
}

TEST(SourceAppDetector, FallbackPrefersFirstActiveOrdinaryApplication)
{
    FakeWorkspace ws;
    ws.running = {
        FakeWorkspace::app("Finder", "com.apple.finder", 1, true, false),
        FakeWorkspace::app("Agent", "x.com.apple.controlcenter.helper", 2, true, true),
        FakeWorkspace::app("Editor A", "org.example.a", 3, true, false),
        FakeWorkspace::app("Editor B", "org.example.b", 4, true, true),
        FakeWorkspace::app("Editor C", "org.example.c", 5, true, true),
    };
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp(), (SourceAppInfo{"Editor B", "org.example.b", 4}));

    // No active candidate: the first candidate in order.
    ws.running = {
        FakeWorkspace::app("Dock+", "com.apple.dock.extra", 1, true, true),
        FakeWorkspace::app("Panel", "xfce4-panel", 2, true, true),
        FakeWorkspace::app("Snipbrook", "com.snipbrook.app", 3, true, true),
        RunningApplication{QStringLiteral("No bundle"), std::nullopt, 4, true, true},
        FakeWorkspace::app("Editor A", "org.example.a", 5, true, false),
        FakeWorkspace::app("Editor B", "org.example.b", 6, true, false),
    };
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp().bundleIdentifier, "org.example.a");
}

TEST(SourceAppDetector, NoCandidateIsUnknown)
{
    FakeWorkspace ws;
    ws.running = {FakeWorkspace::app("Daemon", "org.example.daemon", 1, false, true)};
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp(), (SourceAppInfo{"Unknown", std::nullopt, std::nullopt}));
    // Without an own identifier the own-application test passes.
    ws.ownBundle.reset();
    ws.running = {FakeWorkspace::app("Snipbrook", "com.snipbrook.app", 3, true, false)};
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp().bundleIdentifier, "com.snipbrook.app");
}

TEST(AppIconCache, LooksUpOnceCachesNoMissesAndStaysBounded)
{
    FakeWorkspace ws;
    ws.installed.insert("org.example.a", "/usr/share/applications/org.example.a.desktop");
    AppIconCache cache(ws);
    const auto first = cache.icon("org.example.a");
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.icon("org.example.a"), first);
    EXPECT_EQ(ws.locationLookups, 1);

    EXPECT_FALSE(cache.icon("org.example.missing"));
    EXPECT_FALSE(cache.icon("org.example.missing"));
    EXPECT_EQ(ws.locationLookups, 3);

    for (int i = 0; i < 150; ++i)
        ws.installed.insert(QString("app.%1").arg(i), QString("/apps/%1").arg(i));
    for (int i = 0; i < 150; ++i)
        cache.icon(QString("app.%1").arg(i));
    EXPECT_EQ(cache.size(), AppIconCache::countLimit);
    // The oldest entries were evicted; the newest stay cached.
    const int before = ws.locationLookups;
    cache.icon("app.149");
    EXPECT_EQ(ws.locationLookups, before);
    cache.icon("app.0");
    EXPECT_EQ(ws.locationLookups, before + 1);
}

TEST(AppIconCache, ConcurrentCallersShareOneLookup)
{
    FakeWorkspace ws;
    ws.installed.insert("org.example.a", "/apps/a");
    AppIconCache cache(ws);
    QList<QFuture<void>> futures;
    for (int i = 0; i < 8; ++i)
        futures.append(QtConcurrent::run([&] { cache.icon("org.example.a"); }));
    for (auto &f : futures)
        f.waitForFinished();
    EXPECT_EQ(ws.locationLookups, 1);
}
