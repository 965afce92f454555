#pragma once

#include "model/ClipboardItem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

namespace snipbrook {

// The composed (NFC) form of each history item's content, computed once per item, so the
// duplicate test on every capture compares canonically equivalent texts as equal without
// normalising the whole history again. For already-composed text (nearly all) the cached form
// shares the item's own string. An image's key is the digest of its data (in hex), which the
// history keeps when it leaves the data in the store.
class CanonicalContent {
public:
    // Texts equal under canonical equivalence have equal keys; so do images with equal data.
    static QString keyOf(ClipboardItemType type, const QString &content);
    static QString keyOf(const ClipboardItem &item);
    // The content digest an image's key stands for.
    static QByteArray imageDigest(const QString &key) { return QByteArray::fromHex(key.toLatin1()); }

    const QString &of(const ClipboardItem &item);
    void remember(const QUuid &id, QString key) { m_keys.insert(id, std::move(key)); }
    void rememberIfMissing(const QUuid &id, const QString &key)
    {
        if (!m_keys.contains(id))
            m_keys.insert(id, key);
    }
    void forget(const QUuid &id) { m_keys.remove(id); }
    // Drops the entries of items no longer in `items`.
    void retainOnly(const QList<ClipboardItem> &items);
    void replace(QHash<QUuid, QString> keys) { m_keys = std::move(keys); }
    void clear() { m_keys.clear(); }

    // The keys of a whole list, for warming the cache away from the main thread.
    static QHash<QUuid, QString> keysOf(const QList<ClipboardItem> &items);

private:
    QHash<QUuid, QString> m_keys;
};

} // namespace snipbrook
