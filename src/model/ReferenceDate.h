#pragma once

#include <QDateTime>

namespace snipbrook {

// Stored timestamps count seconds (fractions kept) since 2001-01-01T00:00:00Z.
inline constexpr qint64 referenceDateUnixSeconds = 978307200;

// Date-times carry millisecond precision; finer fractions are rounded.
QDateTime dateFromReferenceSeconds(double seconds);
double referenceSecondsFromDate(const QDateTime &date);

} // namespace snipbrook
