#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <string_view>

namespace snipbrook {

// Text forms of the index file's scalar values.

// A finite float written in full (no surrounding blanks, no trailing characters); anything else,
// including "nan", "inf" and out-of-range magnitudes, gives nothing.
std::optional<float> parseFloatComponent(std::string_view text);

// ISO 8601 internet date-time in UTC, whole seconds: 2024-05-01T09:30:00Z. Fractions are dropped.
QString internetDateTime(const QDateTime &time);
// YYYY-MM-DDTHH:MM:SS followed by Z or a ±HH:MM offset; no fractions.
std::optional<QDateTime> parseInternetDateTime(QStringView text);

} // namespace snipbrook
