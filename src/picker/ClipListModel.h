#pragma once

#include "history/ClipItem.h"
#include "picker/ClipRowView.h"

#include <QAbstractListModel>
#include <QList>
#include <QUuid>
#include <optional>
#include <vector>

namespace quillstow {

// The picker's visible list: the items the history store returns for the current query, and
// which of them is selected and which is under the pointer. What a row shows of its item's text
// is worked out once per item and kept across showings of the picker; the query's matches once
// per row and query.
class ClipListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        ItemRole = Qt::UserRole + 1, // the ClipItem
        IdRole,                      // its id
        IsSelectedRole,
        IsHoveredRole,
    };

    explicit ClipListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QList<ClipItem>& items() const { return items_; }
    // `items` found for `query`, whose matches the rows highlight.
    void setItems(const QList<ClipItem>& items, const QString& query = {});
    const QString& query() const { return query_; }

    // The row showing `id`, or -1.
    int rowOf(const std::optional<QUuid>& id) const;
    const ClipItem* itemAt(int row) const;
    // The row's text, and everything the delegate needs to draw it; empty for a row out of range.
    RowText rowText(int row) const;
    ClipRowView rowView(int row) const;

    std::optional<QUuid> selectedID() const { return selectedID_; }
    void setSelectedID(const std::optional<QUuid>& id);
    std::optional<QUuid> hoveredID() const { return hoveredID_; }
    void setHoveredID(const std::optional<QUuid>& id);

private:
    void refreshRow(const std::optional<QUuid>& id);

    QList<ClipItem> items_;
    QString query_;
    mutable std::vector<std::optional<std::vector<TextRange>>> matches_;
    std::optional<QUuid> selectedID_;
    std::optional<QUuid> hoveredID_;
};

} // namespace quillstow

Q_DECLARE_METATYPE(quillstow::ClipItem)
