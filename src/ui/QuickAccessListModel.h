#pragma once

#include <QAbstractListModel>

namespace snipbrook {

class QuickAccessViewModel;

// The panel's rows as a list model for its view: the view-model's displayed items, at most eight,
// so every change simply resets the rows.
class QuickAccessListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ItemRole = Qt::UserRole + 1, // the whole ClipboardItem
        RelativeTimeRole,
        IsHighlightedRole,
    };

    explicit QuickAccessListModel(QuickAccessViewModel &viewModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QuickAccessViewModel &m_viewModel;
    int m_highlighted = 0;
};

} // namespace snipbrook
