#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <optional>

namespace snipbrook {

// Lists of metadata shared among the index's entries (see IndexEntryMetadata).
class IndexMetadataPool {
public:
    // An equal list already held, or this one (then held); lists with long values are not held.
    QList<QString> shared(QList<QString> pairs);
    // Names and short values, shared among all lists.
    QString sharedText(const QString &text);
    void clear();

private:
    QSet<QList<QString>> m_lists;
    QSet<QString> m_texts;
};

// An index entry's metadata map, held compactly. Tens of thousands of entries repeat the same few
// names and values ("type": "text", "isFavorite": "false", the source program) and differ in
// little but their capture time: everything but that time is one list shared by all entries
// alike, and the time's text is left out when it is the entry's own timestamp as the index writes
// it, to be written the same way again when the map is asked for. A map in any other form is
// kept as it is.
class IndexEntryMetadata {
public:
    IndexEntryMetadata() = default;
    IndexEntryMetadata(const QMap<QString, QString> &metadata, const QDateTime &timestamp, IndexMetadataPool &pool);

    // The map as it was given; `timestamp` is the one it was given with.
    QMap<QString, QString> toMap(const QDateTime &timestamp) const;
    // The "type" value, when there is one.
    std::optional<QString> type() const;

private:
    QList<QString> m_pairs; // name, value, name, value... in name order; the time left out when derived
    bool m_timeDerived = false;
};

} // namespace snipbrook
