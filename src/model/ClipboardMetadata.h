#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace snipbrook {

// Optional facts about an item; an absent field has no value.
struct ClipboardMetadata {
    std::optional<qint64> size;       // bytes of captured image data
    std::optional<qint64> fileCount;  // 1 for a file, N for several files
    std::optional<QString> colorValue;
    std::optional<QString> url;
    std::optional<QString> language;  // "swift", "python", "javascript" or "unknown"
    std::optional<QString> sourceApp;
    std::optional<QString> sourceAppBundle;
    std::optional<qint32> sourceProcessID;
    std::optional<std::vector<float>> embedding;
    std::optional<QString> embeddingVersion;

    bool operator==(const ClipboardMetadata &) const = default;

    // Writes only the fields that have a value.
    QJsonObject toJson() const;
    // Every key is optional; null counts as absent. A present key of the wrong JSON type makes
    // the object unreadable.
    static std::optional<ClipboardMetadata> fromJson(const QJsonObject &object);
};

} // namespace snipbrook
