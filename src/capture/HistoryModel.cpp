#include "HistoryModel.h"

#include "model/ClipboardItemType.h"

namespace snipbrook {

std::optional<qsizetype> HistoryModel::rowOf(const QUuid &id) const
{
    for (qsizetype row = 0; row < m_items.size(); ++row)
        if (m_items.at(row).id == id)
            return row;
    return std::nullopt;
}

int HistoryModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_items.size()); }

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ClipboardItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.preview;
    case ItemRole:
        return QVariant::fromValue(item);
    case IdRole:
        return item.id;
    case TypeRole:
        return rawValue(item.type);
    case ContentRole:
        return item.content;
    case TimestampRole:
        return item.timestamp;
    case IsFavoriteRole:
        return item.isFavorite;
    case SourceAppRole:
        return item.metadata && item.metadata->sourceApp ? QVariant(*item.metadata->sourceApp) : QVariant();
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(ItemRole, "item");
    names.insert(IdRole, "id");
    names.insert(TypeRole, "type");
    names.insert(ContentRole, "content");
    names.insert(TimestampRole, "timestamp");
    names.insert(IsFavoriteRole, "isFavorite");
    names.insert(SourceAppRole, "sourceApp");
    return names;
}

void HistoryModel::prepend(const ClipboardItem &item)
{
    beginInsertRows({}, 0, 0);
    m_items.prepend(item);
    endInsertRows();
}

void HistoryModel::prependAll(const QList<ClipboardItem> &items)
{
    if (items.isEmpty())
        return;
    beginInsertRows({}, 0, int(items.size() - 1));
    m_items = items + m_items;
    endInsertRows();
}

qsizetype HistoryModel::removeIf(const std::function<bool(const ClipboardItem &)> &pick)
{
    qsizetype removed = 0;
    // From the end, so the rows still to visit keep their numbers.
    for (qsizetype last = m_items.size() - 1; last >= 0;) {
        if (!pick(m_items.at(last))) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && pick(m_items.at(first - 1)))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_items.remove(first, last - first + 1);
        endRemoveRows();
        removed += last - first + 1;
        last = first - 1;
    }
    return removed;
}

void HistoryModel::truncate(qsizetype count)
{
    if (count >= m_items.size())
        return;
    beginRemoveRows({}, int(count), int(m_items.size() - 1));
    m_items.resize(count);
    endRemoveRows();
}

void HistoryModel::replace(qsizetype row, const ClipboardItem &item)
{
    m_items[row] = item;
    const QModelIndex changed = index(int(row));
    emit dataChanged(changed, changed);
}

void HistoryModel::reset(QList<ClipboardItem> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

} // namespace snipbrook
