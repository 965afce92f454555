#include "CardGridModel.h"

#include "ContentPreview.h"
#include "RelativeTime.h"

#include <QHash>
#include <QSet>

namespace snipbrook {
namespace {

// More separate runs than this make one reset cheaper than many small updates.
constexpr int maxRuns = 32;

// Items handed over again usually share their text with the ones held (Qt's implicit sharing), so
// a megabyte image is compared by its pointer, not byte by byte on every history change.
bool sameText(const QString &a, const QString &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

bool sameCard(const ClipboardItem &a, const ClipboardItem &b)
{
    return a.id == b.id && a.isFavorite == b.isFavorite && a.type == b.type && a.timestamp == b.timestamp
        && sameText(a.content, b.content) && sameText(a.preview, b.preview) && a.metadata == b.metadata
        && a.storedContentDigest == b.storedContentDigest;
}

} // namespace

CardGridModel::CardGridModel(std::function<QDateTime()> now, QObject *parent)
    : QAbstractListModel(parent), m_now(std::move(now))
{
}

void CardGridModel::setItems(const QList<ClipboardItem> &items)
{
    if (!applyInsertionsAndRemovals(items)) {
        beginResetModel();
        m_items = items;
        endResetModel();
        return;
    }
    emitChangedRows(items);
}

bool CardGridModel::applyInsertionsAndRemovals(const QList<ClipboardItem> &items)
{
    QSet<QUuid> newIds;
    newIds.reserve(items.size());
    for (const ClipboardItem &item : items)
        newIds.insert(item.id);
    QSet<QUuid> oldIds;
    oldIds.reserve(m_items.size());
    for (const ClipboardItem &item : m_items)
        oldIds.insert(item.id);
    if (newIds.size() != items.size() || oldIds.size() != m_items.size())
        return false; // the same id twice: rows cannot be matched up

    // The items both lists keep must come in the same order, else this is a reordering.
    qsizetype j = 0;
    int runs = 0;
    bool inRun = false;
    for (const ClipboardItem &item : m_items) {
        const bool kept = newIds.contains(item.id);
        runs += !kept && !inRun;
        inRun = !kept;
        if (!kept)
            continue;
        while (j < items.size() && !oldIds.contains(items[j].id))
            ++j;
        if (j == items.size() || items[j].id != item.id)
            return false;
        ++j;
    }
    inRun = false;
    for (const ClipboardItem &item : items) {
        const bool added = !oldIds.contains(item.id);
        runs += added && !inRun;
        inRun = added;
    }
    if (runs > maxRuns)
        return false;

    // Removals from the bottom up, so the rows still to remove keep their numbers.
    for (qsizetype last = m_items.size() - 1; last >= 0;) {
        if (newIds.contains(m_items[last].id)) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && !newIds.contains(m_items[first - 1].id))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_items.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
    // Insertions from the top down: rows above each run already match the new list.
    for (qsizetype first = 0; first < items.size();) {
        if (oldIds.contains(items[first].id)) {
            ++first;
            continue;
        }
        qsizetype end = first;
        while (end < items.size() && !oldIds.contains(items[end].id))
            ++end;
        beginInsertRows({}, int(first), int(end - 1));
        m_items.insert(first, end - first, ClipboardItem{});
        for (qsizetype row = first; row < end; ++row)
            m_items[row] = items[row];
        endInsertRows();
        first = end;
    }
    return true;
}

void CardGridModel::emitChangedRows(const QList<ClipboardItem> &items)
{
    Q_ASSERT(items.size() == m_items.size());
    for (qsizetype row = 0; row < items.size(); ++row) {
        if (sameCard(m_items[row], items[row]))
            continue;
        m_items[row] = items[row];
        emit dataChanged(index(int(row)), index(int(row)));
    }
    // Row for row the same items now: share the caller's list instead of holding a copy of it.
    m_items = items;
}

int CardGridModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_items.size()); }

QVariant CardGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const ClipboardItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return cardAccessibleText(item);
    case ItemRole:
        return QVariant::fromValue(item);
    case RelativeTimeRole:
        return relativeTimeText(item.timestamp, m_now ? m_now() : QDateTime::currentDateTimeUtc());
    default:
        return {};
    }
}

} // namespace snipbrook
