#include "CanonicalContent.h"

#include "model/UnicodeText.h"

#include <QSet>

namespace snipbrook {

QString CanonicalContent::keyOf(const QString &content) { return canonicalComposition(content); }

const QString &CanonicalContent::of(const ClipboardItem &item)
{
    auto it = m_keys.find(item.id);
    if (it == m_keys.end())
        it = m_keys.insert(item.id, keyOf(item.content));
    return *it;
}

void CanonicalContent::retainOnly(const QList<ClipboardItem> &items)
{
    QSet<QUuid> ids;
    ids.reserve(items.size());
    for (const ClipboardItem &item : items)
        ids.insert(item.id);
    m_keys.removeIf([&](const auto &entry) { return !ids.contains(entry.key()); });
}

QHash<QUuid, QString> CanonicalContent::keysOf(const QList<ClipboardItem> &items)
{
    QHash<QUuid, QString> keys;
    keys.reserve(items.size());
    for (const ClipboardItem &item : items)
        keys.insert(item.id, keyOf(item.content));
    return keys;
}

} // namespace snipbrook
