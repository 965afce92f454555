#include "QuickAccessListModel.h"

#include "QuickAccessViewModel.h"

namespace snipbrook {

QuickAccessListModel::QuickAccessListModel(QuickAccessViewModel &viewModel, QObject *parent)
    : QAbstractListModel(parent), m_viewModel(viewModel), m_highlighted(viewModel.selectedIndex())
{
    connect(&m_viewModel, &QuickAccessViewModel::displayedItemsChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&m_viewModel, &QuickAccessViewModel::selectedIndexChanged, this, [this](int index) {
        const int old = m_highlighted;
        m_highlighted = index;
        for (int row : {old, index}) {
            if (row >= 0 && row < rowCount())
                emit dataChanged(this->index(row), this->index(row), {IsHighlightedRole});
        }
    });
}

int QuickAccessListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_viewModel.displayedItems().size());
}

QVariant QuickAccessListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ClipboardItem &item = m_viewModel.displayedItems().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QuickAccessViewModel::rowTitle(item);
    case Qt::AccessibleTextRole:
        return QuickAccessViewModel::rowTitle(item).left(200);
    case Qt::ToolTipRole:
        return QuickAccessViewModel::rowTitle(item).left(500);
    case ItemRole:
        return QVariant::fromValue(item);
    case RelativeTimeRole:
        return m_viewModel.relativeTime(item);
    case IsHighlightedRole:
        return index.row() == m_highlighted;
    default:
        return {};
    }
}

} // namespace snipbrook
