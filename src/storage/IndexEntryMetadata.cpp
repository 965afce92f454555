#include "IndexEntryMetadata.h"

#include "IndexText.h"

namespace snipbrook {
namespace {

const QString timeName = QStringLiteral("timestamp");
const QString typeName = QStringLiteral("type");

// Values longer than this (addresses, say) are each entry's own: neither list nor text is shared.
constexpr qsizetype shortText = 24;
// Beyond this many lists the pool starts again, so entries long gone do not keep theirs forever.
constexpr qsizetype maxLists = 4096;

} // namespace

QList<QString> IndexMetadataPool::shared(QList<QString> pairs)
{
    for (qsizetype i = 1; i < pairs.size(); i += 2)
        if (pairs[i].size() > shortText)
            return pairs;
    if (const auto known = m_lists.constFind(pairs); known != m_lists.cend())
        return *known;
    if (m_lists.size() >= maxLists)
        m_lists.clear();
    m_lists.insert(pairs);
    return pairs;
}

QString IndexMetadataPool::sharedText(const QString &text)
{
    if (text.size() > shortText)
        return text;
    return *m_texts.insert(text);
}

void IndexMetadataPool::clear()
{
    m_lists.clear();
    m_texts.clear();
}

IndexEntryMetadata::IndexEntryMetadata(const QMap<QString, QString> &metadata, const QDateTime &timestamp,
                                       IndexMetadataPool &pool)
{
    const auto time = metadata.constFind(timeName);
    m_timeDerived = time != metadata.cend() && timestamp.isValid() && *time == internetDateTime(timestamp);
    QList<QString> pairs;
    pairs.reserve(2 * metadata.size());
    for (auto it = metadata.cbegin(); it != metadata.cend(); ++it) {
        if (m_timeDerived && it == time)
            continue;
        pairs.append(pool.sharedText(it.key()));
        pairs.append(pool.sharedText(it.value()));
    }
    m_pairs = pool.shared(std::move(pairs));
}

QMap<QString, QString> IndexEntryMetadata::toMap(const QDateTime &timestamp) const
{
    QMap<QString, QString> map;
    for (qsizetype i = 0; i + 1 < m_pairs.size(); i += 2)
        map.insert(m_pairs[i], m_pairs[i + 1]);
    if (m_timeDerived)
        map.insert(timeName, internetDateTime(timestamp));
    return map;
}

std::optional<QString> IndexEntryMetadata::type() const
{
    for (qsizetype i = 0; i + 1 < m_pairs.size(); i += 2)
        if (m_pairs[i] == typeName)
            return m_pairs[i + 1];
    return std::nullopt;
}

} // namespace snipbrook
