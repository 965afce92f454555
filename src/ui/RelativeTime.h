#pragma once

#include <QDateTime>
#include <QString>

namespace snipbrook {

// A capture time as the rows show it, relative to now in abbreviated units: "now", "45 sec ago",
// "5 min ago", "3 hr ago", "1 day ago", "2 wk ago", "4 mo ago", "1 yr ago"; a time ahead of now
// (a clock that was set back) reads "in 5 min". An invalid time gives an empty text.
QString relativeTimeText(const QDateTime &then, const QDateTime &now);

} // namespace snipbrook
