#include "CanonicalContent.h"

#include "model/UnicodeText.h"

#include <QSet>

namespace snipbrook {

QString CanonicalContent::keyOf(ClipboardItemType type, const QString &content)
{
    if (type == ClipboardItemType::image)
        return QString::fromLatin1(contentDigest(content.toUtf8()).toHex());
    return canonicalComposition(content);
}

QString CanonicalContent::keyOf(const ClipboardItem &item)
{
    if (item.isContentInStore())
        return QString::fromLatin1(item.storedContentDigest.toHex());
    return keyOf(item.type, item.content);
}

const QString &CanonicalContent::of(const ClipboardItem &item)
{
    auto it = m_keys.find(item.id);
    if (it == m_keys.end())
        it = m_keys.insert(item.id, keyOf(item));
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
        keys.insert(item.id, keyOf(item));
    return keys;
}

} // namespace snipbrook
