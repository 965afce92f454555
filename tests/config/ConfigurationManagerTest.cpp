#include "config/ConfigurationManager.h"
#include "config/DefaultConfiguration.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/DiagnosticsCapture.h"
#include "support/FakePreferences.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::DiagnosticsCapture;
using snipbrook::test::FakePreferences;

namespace {

const QString key = ConfigurationManager::storageKey;

template <typename Condition>
bool processEventsUntil(Condition condition)
{
    const QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

AppConfiguration stored(const Preferences &preferences)
{
    return AppConfiguration::fromJsonBytes(preferences.bytes(key).value_or(QByteArray())).value();
}

AppConfiguration configurationWith(bool launchAtLogin)
{
    AppConfiguration c = defaultConfiguration();
    c.launchAtLogin = launchAtLogin;
    return c;
}

} // namespace

TEST(ConfigurationManager, LoadsStoredThenResourceThenDefaultsQuietlyAndWithoutWriting)
{
    QTemporaryDir resources;
    FakePreferences preferences;
    DiagnosticsCapture log;
    EXPECT_EQ(ConfigurationManager(preferences, resources.path()).configuration().version, "1.0");

    QFile file(resources.filePath(ConfigurationManager::resourceFileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*configurationWith(true).toJsonBytes());
    file.close();
    EXPECT_TRUE(ConfigurationManager(preferences, resources.path()).configuration().launchAtLogin);

    const AppConfiguration mine = configurationWith(false);
    preferences.setBytes(key, *mine.toJsonBytes());
    EXPECT_EQ(ConfigurationManager(preferences, resources.path()).configuration(), mine);

    // A stored document lacking one key gives way to the resource document.
    QJsonObject broken = mine.toJson();
    broken.remove(QLatin1String("menuBarEnabled"));
    preferences.setBytes(key, QJsonDocument(broken).toJson());
    preferences.clearWrites();
    EXPECT_TRUE(ConfigurationManager(preferences, resources.path()).configuration().launchAtLogin);
    EXPECT_TRUE(preferences.writes().isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(ConfigurationManager, UnreadableStoredDocumentIsKeptOnceBeforeTheFirstSaveReplacesIt)
{
    FakePreferences preferences;
    preferences.setBytes(key, "{\"version\": \"1.0\", \"truncated");
    ConfigurationManager manager(preferences, QString());
    DiagnosticsCapture log;
    manager.updateHotkeyConfiguration({QStringLiteral("opt+v"), QStringLiteral("opt+v"), false});
    manager.addBlacklistedBundleId(QStringLiteral("org.example.vault"));
    EXPECT_EQ(preferences.bytes(ConfigurationManager::unreadableStorageKey), "{\"version\": \"1.0\", \"truncated");
    EXPECT_EQ(preferences.writeCount(ConfigurationManager::unreadableStorageKey), 1);
    EXPECT_EQ(log.lines(), QStringList{"⚠️ Kept the unreadable stored configuration under: AppConfiguration.unreadable"});
    EXPECT_EQ(stored(preferences).hotkeyConfiguration.globalSearchHotkey, "opt+v");
}

TEST(ConfigurationManager, IgnoredApplicationsAreTrimmedUniqueSortedAndSaved)
{
    FakePreferences preferences;
    ConfigurationManager manager(preferences, QString());
    QSignalSpy changes(&manager, &ConfigurationManager::configurationChanged);
    AppConfiguration absent = manager.configuration();
    absent.settings = {7, false, 3, std::nullopt, std::nullopt};
    manager.setConfiguration(absent);
    EXPECT_EQ(preferences.writeCount(key), 0);

    for (const char *id : {" org.c \n", "org.a", "org.b", "org.a", "\t \n"})
        manager.addBlacklistedBundleId(QString::fromUtf8(id));
    EXPECT_EQ(changes.count(), 5);
    EXPECT_EQ(preferences.writeCount(key), 4);
    EXPECT_EQ(stored(preferences).settings, (AppSettings{7, false, 3, QStringList{"org.a", "org.b", "org.c"}, std::nullopt}));

    manager.removeBlacklistedBundleId(QStringLiteral(" org.b"));  // no trimming: nothing removed
    EXPECT_EQ(stored(preferences).settings.blacklistedBundleIds->size(), 3);
    manager.removeBlacklistedBundleId(QStringLiteral("org.b"));
    manager.setBlacklistedBundleIds({"z", "org.c", "z"});
    EXPECT_EQ(preferences.writeCount(key), 7);
    EXPECT_EQ(stored(preferences).settings.blacklistedBundleIds, (QStringList{"org.c", "z"}));
    // Only the ignore list changed.
    AppConfiguration expected = absent;
    expected.settings.blacklistedBundleIds = QStringList{"org.c", "z"};
    EXPECT_EQ(stored(preferences), expected);
}

TEST(ConfigurationManager, FailedSaveIsReportedAndKeepsTheStoredDocument)
{
    FakePreferences preferences;
    ConfigurationManager manager(preferences, QString());
    manager.addBlacklistedBundleId(QStringLiteral("org.a"));
    const QByteArray before = *preferences.bytes(key);
    AppConfiguration bad = manager.configuration();
    bad.searchConfiguration.similarityThreshold = std::numeric_limits<float>::quiet_NaN();
    manager.setConfiguration(bad);
    DiagnosticsCapture log;
    EXPECT_FALSE(manager.addBlacklistedBundleId(QStringLiteral("org.b")));
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to save configuration: ")), 1);
    EXPECT_EQ(preferences.bytes(key), before);
    EXPECT_EQ(manager.configuration().settings.blacklistedBundleIds, QStringList{"org.a"}) << "undone";
}

// A settings file that cannot be written: the change is reported as failed and undone, in memory
// and in the preferences' pending copy, so a later save of something else does not bring it back.
TEST(ConfigurationManager, AChangeTheSettingsFileRefusedIsReportedAndUndone)
{
    FakePreferences preferences;
    ConfigurationManager manager(preferences, QString());
    ASSERT_TRUE(manager.addBlacklistedBundleId(QStringLiteral("org.a")));
    const AppConfiguration saved = manager.configuration();
    QSignalSpy changes(&manager, &ConfigurationManager::configurationChanged);
    DiagnosticsCapture log;

    preferences.failWrites = true;
    EXPECT_FALSE(manager.addBlacklistedBundleId(QStringLiteral("org.b")));
    EXPECT_FALSE(manager.removeBlacklistedBundleId(QStringLiteral("org.a")));
    EXPECT_EQ(manager.configuration(), saved);
    EXPECT_EQ(changes.count(), 4) << "each change and its undoing are published";
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Configuration change undone")), 2);

    preferences.failWrites = false;
    ASSERT_TRUE(manager.addBlacklistedBundleId(QStringLiteral("org.c")));
    EXPECT_EQ(stored(preferences).settings.blacklistedBundleIds, (QStringList{"org.a", "org.c"}));
}

TEST(ConfigurationManager, TypeCategoriesAndPaletteFallbacks)
{
    FakePreferences preferences;
    ConfigurationManager manager(preferences, QString());
    EXPECT_EQ(manager.typeCategories(), manager.configuration().categoryGroups[0].categories);
    AppConfiguration c = manager.configuration();
    c.categoryGroups[0].title = QStringLiteral("type");
    c.customizationConfiguration.selectedPaletteId = QUuid::createUuid();
    manager.setConfiguration(c);
    EXPECT_TRUE(manager.typeCategories().isEmpty());
    // An unknown selection falls back to a freshly built Sunset, with or without palettes.
    EXPECT_EQ(manager.selectedPalette().name, "sunset");
    EXPECT_NE(manager.selectedPalette().id, c.customizationConfiguration.availablePalettes[0].id);
    c.customizationConfiguration.availablePalettes.clear();
    manager.setConfiguration(c);
    EXPECT_EQ(manager.selectedPalette().displayName, "Sunset");
}

TEST(ConfigurationManager, SelectedPaletteIsAssignedLaterThenSavedWithoutLosingOtherUpdates)
{
    FakePreferences preferences;
    ConfigurationManager manager(preferences, QString());
    const ColorPalette ocean = manager.configuration().customizationConfiguration.availablePalettes[1];
    manager.selectPalette(ocean.id);
    EXPECT_EQ(manager.selectedPalette().name, "sunset");
    manager.addBlacklistedBundleId(QStringLiteral("org.a"));
    ASSERT_TRUE(processEventsUntil([&] { return manager.selectedPalette() == ocean; }));
    EXPECT_EQ(stored(preferences).customizationConfiguration.selectedPaletteId, ocean.id);
    EXPECT_EQ(stored(preferences).settings.blacklistedBundleIds, QStringList{"org.a"});
}

TEST(ConfigurationManager, ChangesSurviveARestartOnTheSamePreferencesFile)
{
    QTemporaryDir folder;
    AppConfiguration saved;
    {
        SettingsPreferences preferences(folder.path());
        ConfigurationManager manager(preferences, QString());
        manager.addBlacklistedBundleId(QStringLiteral("org.a"));
        manager.selectPalette(manager.configuration().customizationConfiguration.availablePalettes[3].id);
        ASSERT_TRUE(processEventsUntil([&] { return manager.selectedPalette().name == "lavender"; }));
        saved = manager.configuration();
    }
    SettingsPreferences preferences(folder.path());
    EXPECT_EQ(ConfigurationManager(preferences, QString()).configuration(), saved);
}
