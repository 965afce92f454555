#include "ConfigurationSections.h"

#include "ConfigJson.h"

namespace snipbrook {

QJsonObject SearchConfiguration::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("maxResults"), maxResults);
    o.insert(QLatin1String("semanticSearchEnabled"), semanticSearchEnabled);
    o.insert(QLatin1String("keywordFallbackEnabled"), keywordFallbackEnabled);
    o.insert(QLatin1String("similarityThreshold"), configjson::jsonNumber(similarityThreshold));
    o.insert(QLatin1String("embeddingModel"), embeddingModel);
    return o;
}

std::optional<SearchConfiguration> SearchConfiguration::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    SearchConfiguration search;
    search.maxResults = in.integer(QLatin1String("maxResults"));
    search.semanticSearchEnabled = in.boolean(QLatin1String("semanticSearchEnabled"));
    search.keywordFallbackEnabled = in.boolean(QLatin1String("keywordFallbackEnabled"));
    search.similarityThreshold = configjson::floatNumber(in, QLatin1String("similarityThreshold"));
    search.embeddingModel = in.string(QLatin1String("embeddingModel"));
    if (!in.ok())
        return std::nullopt;
    return search;
}

QJsonObject HotkeyConfiguration::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("globalSearchHotkey"), globalSearchHotkey);
    o.insert(QLatin1String("spotlightSearchHotkey"), spotlightSearchHotkey);
    o.insert(QLatin1String("enabled"), enabled);
    return o;
}

std::optional<HotkeyConfiguration> HotkeyConfiguration::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    HotkeyConfiguration hotkey;
    hotkey.globalSearchHotkey = in.string(QLatin1String("globalSearchHotkey"));
    hotkey.spotlightSearchHotkey = in.string(QLatin1String("spotlightSearchHotkey"));
    hotkey.enabled = in.boolean(QLatin1String("enabled"));
    if (!in.ok())
        return std::nullopt;
    return hotkey;
}

QJsonObject DataConfiguration::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("maxHistorySize"), maxHistorySize);
    o.insert(QLatin1String("cleanupIntervalDays"), cleanupIntervalDays);
    o.insert(QLatin1String("autoCleanupEnabled"), autoCleanupEnabled);
    o.insert(QLatin1String("persistenceEnabled"), persistenceEnabled);
    return o;
}

std::optional<DataConfiguration> DataConfiguration::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    DataConfiguration data;
    data.maxHistorySize = in.integer(QLatin1String("maxHistorySize"));
    data.cleanupIntervalDays = in.integer(QLatin1String("cleanupIntervalDays"));
    data.autoCleanupEnabled = in.boolean(QLatin1String("autoCleanupEnabled"));
    data.persistenceEnabled = in.boolean(QLatin1String("persistenceEnabled"));
    if (!in.ok())
        return std::nullopt;
    return data;
}

QJsonObject AppSettings::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("maxClipboardItems"), maxClipboardItems);
    o.insert(QLatin1String("autoCleanupEnabled"), autoCleanupEnabled);
    o.insert(QLatin1String("cleanupIntervalDays"), cleanupIntervalDays);
    if (blacklistedBundleIds)
        o.insert(QLatin1String("blacklistedBundleIds"), configjson::toJsonArray(*blacklistedBundleIds));
    if (maxItemSizeBytes)
        o.insert(QLatin1String("maxItemSizeBytes"), *maxItemSizeBytes);
    return o;
}

std::optional<AppSettings> AppSettings::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    AppSettings settings;
    settings.maxClipboardItems = in.integer(QLatin1String("maxClipboardItems"));
    settings.autoCleanupEnabled = in.boolean(QLatin1String("autoCleanupEnabled"));
    settings.cleanupIntervalDays = in.integer(QLatin1String("cleanupIntervalDays"));
    settings.blacklistedBundleIds = configjson::optionalStringList(in, QLatin1String("blacklistedBundleIds"));
    settings.maxItemSizeBytes = in.optionalInteger(QLatin1String("maxItemSizeBytes"));
    if (!in.ok())
        return std::nullopt;
    return settings;
}

} // namespace snipbrook
