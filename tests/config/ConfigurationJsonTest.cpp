#include "config/DefaultConfiguration.h"
#include "model/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

// The value at a dotted path ("categoryGroups.0.type") replaced, or removed when none is given.
QJsonValue edited(const QJsonValue &node, QStringList path, const std::optional<QJsonValue> &value)
{
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        array[step.toInt()] = path.isEmpty() ? *value : edited(array[step.toInt()], path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (!path.isEmpty())
        object[step] = edited(object[step], path, value);
    else if (value)
        object[step] = *value;
    else
        object.remove(step);
    return object;
}

std::optional<AppConfiguration> readEdited(const QString &path, const std::optional<QJsonValue> &value)
{
    const QJsonValue root = edited(defaultConfiguration().toJson(), path.split(QLatin1Char('.')), value);
    return AppConfiguration::fromJsonBytes(QJsonDocument(root.toObject()).toJson());
}

} // namespace

TEST(ConfigurationJson, DocumentsRoundTripWithAbsentOptionalFieldsStayingAbsent)
{
    AppConfiguration original = defaultConfiguration();
    EXPECT_EQ(AppConfiguration::fromJsonBytes(*original.toJsonBytes()), original);
    original.categories = {Category{QUuid::createUuid(), "Work", "briefcase", {}, std::nullopt, std::nullopt, false}};
    original.settings.blacklistedBundleIds.reset();
    original.searchConfiguration.similarityThreshold = 0.1F;
    const QByteArray bytes = *original.toJsonBytes();
    EXPECT_EQ(AppConfiguration::fromJsonBytes(bytes), original);
    EXPECT_TRUE(bytes.contains("{\"icon\":\"briefcase\",\"id\":\"" + uuidString(original.categories[0].id).toUtf8() +
                               "\",\"isSelectable\":false,\"keywords\":[],\"name\":\"Work\"}"));
    EXPECT_TRUE(bytes.contains("\"settings\":{\"autoCleanupEnabled\":true,\"cleanupIntervalDays\":30,\"maxClipboardItems\":1000}"));

    original.settings.maxItemSizeBytes = 5'000'000'000; // beyond 32 bits
    const QByteArray limited = *original.toJsonBytes();
    EXPECT_TRUE(limited.contains("\"maxItemSizeBytes\":5000000000"));
    EXPECT_EQ(AppConfiguration::fromJsonBytes(limited), original);
}

TEST(ConfigurationJson, OneMissingOrMistypedKeyAnywhereMakesTheDocumentUnreadable)
{
    const std::vector<std::pair<QString, std::optional<QJsonValue>>> faults = {
        {"menuBarEnabled", std::nullopt},
        {"categories", QJsonObject()},
        {"categoryGroups.1.title", std::nullopt},
        {"categoryGroups.0.categories.1.type", "video"},
        {"categoryGroups.0.categories.1.color", true},
        {"categoryGroups.0.categories.1.keywords.1", 2},
        {"categoryGroups.0.categories.1.id", "{00000000-0000-0000-0000-000000000000}"},
        {"searchConfiguration.maxResults", 1.5},
        {"searchConfiguration.similarityThreshold", 1e300},
        {"hotkeyConfiguration", QJsonValue::Null},
        {"dataConfiguration.persistenceEnabled", "true"},
        {"customizationConfiguration.availablePalettes.4.description", std::nullopt},
        {"settings.blacklistedBundleIds", QJsonArray{"com.example", 1}},
        {"settings.maxItemSizeBytes", "64MB"},
        {"settings.maxItemSizeBytes", 1.5},
    };
    for (const auto &[path, value] : faults)
        EXPECT_FALSE(readEdited(path, value)) << path.toStdString();
    EXPECT_FALSE(AppConfiguration::fromJsonBytes("[]"));
    EXPECT_FALSE(AppConfiguration::fromJsonBytes("{\"version\":\"1.0\""));
}

TEST(ConfigurationJson, ReadsNullAsAbsentIdsInAnyCaseAndIgnoresUnknownKeys)
{
    const QString lowerId = QStringLiteral("0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d");
    EXPECT_FALSE(readEdited(QStringLiteral("settings.blacklistedBundleIds"), QJsonValue::Null)->settings.blacklistedBundleIds);
    EXPECT_FALSE(readEdited(QStringLiteral("settings.maxItemSizeBytes"), QJsonValue::Null)->settings.maxItemSizeBytes);
    EXPECT_FALSE(readEdited(QStringLiteral("categoryGroups.0.categories.1.type"), QJsonValue::Null)->categoryGroups[0].categories[1].type);
    const auto read = readEdited(QStringLiteral("customizationConfiguration.selectedPaletteId"), lowerId);
    EXPECT_EQ(read->customizationConfiguration.toJson()[QLatin1String("selectedPaletteId")], lowerId.toUpper());
    EXPECT_TRUE(readEdited(QStringLiteral("futureSetting"), QJsonObject{{"x", 1}}));
}
