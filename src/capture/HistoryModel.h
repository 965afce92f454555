#pragma once

#include "model/ClipboardItem.h"

#include <QAbstractListModel>
#include <QList>

#include <functional>
#include <optional>

namespace snipbrook {

// The history as a list model, newest first: item views get row inserts, removals and changes,
// never a whole new list. The history is its only writer (on the main thread); every change
// goes through the operations below, which report exactly the rows they touch.
class HistoryModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        ItemRole = Qt::UserRole + 1, // the whole ClipboardItem
        IdRole,
        TypeRole,                    // the raw type name, as in JSON
        ContentRole,
        TimestampRole,
        IsFavoriteRole,
        SourceAppRole,
    };

    explicit HistoryModel(QObject *parent = nullptr) : QAbstractListModel(parent) {}

    const QList<ClipboardItem> &items() const { return m_items; }
    std::optional<qsizetype> rowOf(const QUuid &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    void prepend(const ClipboardItem &item);
    // Puts the items, in their order, above the present ones.
    void prependAll(const QList<ClipboardItem> &items);
    // Removes every item the predicate picks, one contiguous run of rows at a time; the count.
    qsizetype removeIf(const std::function<bool(const ClipboardItem &)> &pick);
    // Keeps the first `count` items.
    void truncate(qsizetype count);
    void replace(qsizetype row, const ClipboardItem &item);
    void reset(QList<ClipboardItem> items);

private:
    QList<ClipboardItem> m_items;
};

} // namespace snipbrook
