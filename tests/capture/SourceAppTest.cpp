#include "capture/AppIconCache.h"
#include "capture/SourceAppDetector.h"
#include "support/FakeWorkspace.h"

#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::FakeWorkspace;

TEST(SourceAppDetector, FrontApplicationThenFirstActiveOrdinaryOneThenUnknown)
{
    FakeWorkspace withFront;
    withFront.front = FakeWorkspace::app("Finder", "com.apple.finder", 10); // even a system application
    EXPECT_EQ(SourceAppDetector(withFront).detectSourceApp(), (SourceAppInfo{"Finder", "com.apple.finder", 10}));
    withFront.front = RunningApplication{std::nullopt, std::nullopt, 11, true, true};
    EXPECT_EQ(SourceAppDetector(withFront).detectSourceApp(), (SourceAppInfo{std::nullopt, std::nullopt, 11})) << "taken unchanged";
    FakeWorkspace ws;
    // Skipped: system helpers, panels, this program and applications without an identifier.
    ws.running = {
        FakeWorkspace::app("Finder", "com.apple.finder", 1, true, false),
        FakeWorkspace::app("Agent", "x.com.apple.controlcenter.helper", 2, true, true),
        FakeWorkspace::app("Dock+", "com.apple.dock.extra", 3, true, true),
        FakeWorkspace::app("Panel", "xfce4-panel", 4, true, true),
        FakeWorkspace::app("Snipbrook", "com.snipbrook.app", 5, true, true),
        RunningApplication{QStringLiteral("No bundle"), std::nullopt, 6, true, true},
        FakeWorkspace::app("Editor A", "org.example.a", 7, true, false),
        FakeWorkspace::app("Editor B", "org.example.b", 8, true, true),
        FakeWorkspace::app("Editor C", "org.example.c", 9, true, true),
    };
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp(), (SourceAppInfo{"Editor B", "org.example.b", 8}));
    ws.running[7].isActive = false; // no active candidate: the first candidate
    ws.running[8].isActive = false;
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp().bundleIdentifier, "org.example.a");

    ws.running = {FakeWorkspace::app("Daemon", "org.example.daemon", 1, false, true)};
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp(), (SourceAppInfo{"Unknown", std::nullopt, std::nullopt}));
    ws.ownBundle.reset(); // without an own identifier nothing counts as this program
    ws.running = {FakeWorkspace::app("Snipbrook", "com.snipbrook.app", 3, true, false)};
    EXPECT_EQ(SourceAppDetector(ws).detectSourceApp().bundleIdentifier, "com.snipbrook.app");
}

TEST(AppIconCache, LooksUpOnceCachesNoMissesAndStaysBounded)
{
    FakeWorkspace ws;
    ws.installed.insert("org.example.a", "/usr/share/applications/org.example.a.desktop");
    AppIconCache cache(ws);
    QList<QFuture<void>> futures; // concurrent callers share one lookup
    for (int i = 0; i < 8; ++i)
        futures.append(QtConcurrent::run([&] { cache.icon("org.example.a"); }));
    for (auto &f : futures)
        f.waitForFinished();
    ASSERT_TRUE(cache.icon("org.example.a"));
    EXPECT_EQ(ws.locationLookups, 1);
    EXPECT_FALSE(cache.icon("org.example.missing"));
    EXPECT_FALSE(cache.icon("org.example.missing"));
    EXPECT_EQ(ws.locationLookups, 3);

    for (int i = 0; i < 150; ++i) {
        ws.installed.insert(QString("app.%1").arg(i), QString("/apps/%1").arg(i));
        cache.icon(QString("app.%1").arg(i));
    }
    EXPECT_EQ(cache.size(), AppIconCache::countLimit);
    const int before = ws.locationLookups; // the oldest entries were evicted, the newest stay
    cache.icon("app.149");
    EXPECT_EQ(ws.locationLookups, before);
    cache.icon("app.0");
    EXPECT_EQ(ws.locationLookups, before + 1);
}
