#pragma once

#include "model/ClipboardItem.h"

#include <QAbstractListModel>
#include <QList>

#include <functional>

namespace snipbrook {

// The cards of the main window's grid: a list of items the window hands over whole whenever the
// category, the history or the search results change. setItems reports only what changed (rows
// inserted or removed, cards whose item changed) so the view keeps its scroll position and does
// not lay out 10,000 cards again for one new copy; a reordering resets the rows.
class CardGridModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ItemRole = Qt::UserRole + 1, // the whole ClipboardItem
        RelativeTimeRole,            // "5 min ago"
    };

    // `now` gives the time the relative times are measured from.
    explicit CardGridModel(std::function<QDateTime()> now, QObject *parent = nullptr);

    void setItems(const QList<ClipboardItem> &items);
    const QList<ClipboardItem> &items() const { return m_items; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    // Applies removals and insertions when the kept items stay in order; false when they do not.
    bool applyInsertionsAndRemovals(const QList<ClipboardItem> &items);
    void emitChangedRows(const QList<ClipboardItem> &items);

    std::function<QDateTime()> m_now;
    QList<ClipboardItem> m_items;
};

} // namespace snipbrook
