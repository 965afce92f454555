#include "ReferenceDate.h"

#include <cmath>

namespace snipbrook {

QDateTime dateFromReferenceSeconds(double seconds)
{
    const double ms = std::round(seconds * 1000.0);
    // Beyond what QDateTime can hold is no date at all; callers treat it as unreadable.
    if (!std::isfinite(ms) || std::fabs(ms) > 1.0e16)
        return {};
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms) + referenceDateUnixSeconds * 1000,
                                          Qt::UTC);
}

double referenceSecondsFromDate(const QDateTime &date)
{
    return static_cast<double>(date.toMSecsSinceEpoch() - referenceDateUnixSeconds * 1000) / 1000.0;
}

} // namespace snipbrook
