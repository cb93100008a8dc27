#include "picker/ClipListModel.h"

namespace quillstow {

ClipListModel::ClipListModel(QObject* parent) : QAbstractListModel(parent) {}

int ClipListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

QVariant ClipListModel::data(const QModelIndex& index, int role) const
{
    const ClipItem* item = itemAt(index.row());
    if (!index.isValid() || !item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return item->preview();
    case ItemRole:
        return QVariant::fromValue(*item);
    case IdRole:
        return item->id;
    case IsSelectedRole:
        return selectedID_ == item->id;
    case IsHoveredRole:
        return hoveredID_ == item->id;
    default:
        return {};
    }
}

void ClipListModel::setItems(const QList<ClipItem>& items)
{
    beginResetModel();
    items_ = items;
    endResetModel();
}

int ClipListModel::rowOf(const std::optional<QUuid>& id) const
{
    if (!id)
        return -1;
    for (qsizetype i = 0; i < items_.size(); ++i)
        if (items_[i].id == *id)
            return static_cast<int>(i);
    return -1;
}

const ClipItem* ClipListModel::itemAt(int row) const
{
    return row >= 0 && row < items_.size() ? &items_[row] : nullptr;
}

void ClipListModel::setSelectedID(const std::optional<QUuid>& id)
{
    if (id == selectedID_)
        return;
    const std::optional<QUuid> old = std::exchange(selectedID_, id);
    refreshRow(old);
    refreshRow(id);
}

void ClipListModel::setHoveredID(const std::optional<QUuid>& id)
{
    if (id == hoveredID_)
        return;
    const std::optional<QUuid> old = std::exchange(hoveredID_, id);
    refreshRow(old);
    refreshRow(id);
}

void ClipListModel::refreshRow(const std::optional<QUuid>& id)
{
    const int row = rowOf(id);
    if (row >= 0)
        Q_EMIT dataChanged(index(row), index(row), {IsSelectedRole, IsHoveredRole});
}

} // namespace quillstow
