#pragma once

#include <QString>

#include <optional>

namespace snipbrook {

// The application a copy is attributed to; each field is absent when it could not be told.
struct SourceAppInfo {
    std::optional<QString> name;
    std::optional<QString> bundleIdentifier;
    std::optional<qint32> processIdentifier;

    bool operator==(const SourceAppInfo &) const = default;
};

} // namespace snipbrook
