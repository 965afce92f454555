#pragma once

#include <QJsonObject>
#include <QStringList>

#include <optional>

namespace snipbrook {

// The small sections of the configuration document. Search and data settings are stored and
// written back unchanged; the limits in force live with the code that applies them.

struct SearchConfiguration {
    qint64 maxResults = 0;
    bool semanticSearchEnabled = false;
    bool keywordFallbackEnabled = false;
    float similarityThreshold = 0.0F;
    QString embeddingModel;

    bool operator==(const SearchConfiguration &) const = default;

    QJsonObject toJson() const;
    static std::optional<SearchConfiguration> fromJson(const QJsonObject &object);
};

// Shortcuts as hot key strings: modifier words and one key joined by "+" ("shift+cmd+space").
struct HotkeyConfiguration {
    QString globalSearchHotkey;
    QString spotlightSearchHotkey;
    bool enabled = false;

    bool operator==(const HotkeyConfiguration &) const = default;

    QJsonObject toJson() const;
    static std::optional<HotkeyConfiguration> fromJson(const QJsonObject &object);
};

struct DataConfiguration {
    qint64 maxHistorySize = 0;
    qint64 cleanupIntervalDays = 0;
    bool autoCleanupEnabled = false;
    bool persistenceEnabled = false;

    bool operator==(const DataConfiguration &) const = default;

    QJsonObject toJson() const;
    static std::optional<DataConfiguration> fromJson(const QJsonObject &object);
};

struct AppSettings {
    static constexpr qint64 defaultMaxItemSizeBytes = 64 * 1024 * 1024;

    qint64 maxClipboardItems = 0;
    bool autoCleanupEnabled = false;
    qint64 cleanupIntervalDays = 0;
    // Applications whose copies are ignored. Absent and empty mean the same, but an absent list
    // stays absent when written back.
    std::optional<QStringList> blacklistedBundleIds;
    // Copies larger than this are not recorded. Absent means defaultMaxItemSizeBytes, and stays
    // absent when written back; whoever applies the limit judges whether a value is usable.
    std::optional<qint64> maxItemSizeBytes;

    bool operator==(const AppSettings &) const = default;

    QStringList blacklistedBundleIdsOrEmpty() const { return blacklistedBundleIds.value_or(QStringList()); }

    QJsonObject toJson() const;
    static std::optional<AppSettings> fromJson(const QJsonObject &object);
};

} // namespace snipbrook
