#pragma once

#include "platform/Clock.h"

#include <QDateTime>
#include <QMap>
#include <QSet>
#include <QString>

#include <optional>

namespace snipbrook {

// The narrowing a semantic query asks for by its words: content kinds ("code", "link"/"url",
// "text", "image", "file", "email", matched as plain substrings of the lower-cased query) and a
// time cutoff ("today", "yesterday", "last week", "N days ago", first that applies), computed in
// the clock's calendar and time zone.
struct QueryContext {
    QSet<QString> types;             // raw type names; empty: no type filter
    std::optional<QDateTime> cutoff; // entries captured earlier are dropped

    static QueryContext fromQuery(const QString &query, const Clock &clock);

    bool narrows() const { return !types.isEmpty() || cutoff.has_value(); }
    // Entries without a "type" value pass the type filter; there is no upper time bound.
    bool admits(const QMap<QString, QString> &metadata, qint64 timestampMs) const;
    bool admits(const std::optional<QString> &type, qint64 timestampMs) const;
};

} // namespace snipbrook
