#include "picker/ClipListModel.h"

#include <QHash>
#include <QLocale>
#include <QSet>

namespace quillstow {

namespace {

// Every showing of the picker makes a new model, while the items and their texts stay.
QHash<QUuid, RowText>& rowTexts()
{
    static QHash<QUuid, RowText> texts;
    return texts;
}

} // namespace

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
        return rowText(index.row()).preview();
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

void ClipListModel::setItems(const QList<ClipItem>& items, const QString& query)
{
    beginResetModel();
    items_ = items;
    query_ = query;
    matches_.assign(static_cast<std::size_t>(items_.size()), std::nullopt);
    if (query_.isEmpty()) {
        // The whole history is shown: texts of items no longer in it go.
        QSet<QUuid> ids;
        for (const ClipItem& item : items_)
            ids.insert(item.id);
        rowTexts().removeIf([&](const auto& entry) { return !ids.contains(entry.key()); });
    }
    endResetModel();
}

RowText ClipListModel::rowText(int row) const
{
    const ClipItem* item = itemAt(row);
    if (!item)
        return {};
    QHash<QUuid, RowText>& texts = rowTexts();
    auto found = texts.find(item->id);
    // An id may come back with another text (a history repeating an id): never show the old one.
    if (found == texts.end() || !found->isOf(*item))
        found = texts.insert(item->id, RowText(*item));
    return *found;
}

ClipRowView ClipListModel::rowView(int row) const
{
    const ClipItem* item = itemAt(row);
    if (!item)
        return {};
    const RowText text = rowText(row);
    std::optional<std::vector<TextRange>>& matches = matches_[static_cast<std::size_t>(row)];
    if (!matches)
        matches = query_.isEmpty() ? std::vector<TextRange>()
                                   : matchRanges(text.matchablePreview(), query_, QLocale());
    return ClipRowView{*item, selectedID_ == item->id, hoveredID_ == item->id, text, *matches};
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
