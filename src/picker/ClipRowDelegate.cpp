#include "picker/ClipRowDelegate.h"

#include "picker/ClipListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHash>
#include <QPainter>

namespace quillstow {

ClipRowDelegate::ClipRowDelegate(Clock now, QObject* parent)
    : QStyledItemDelegate(parent), now_(now ? std::move(now) : Clock(currentCopiedAt))
{}

ClipRowView ClipRowDelegate::rowFor(const QModelIndex& index)
{
    if (const auto* model = qobject_cast<const ClipListModel*>(index.model()))
        return model->rowView(index.row());
    return ClipRowView{index.data(ClipListModel::ItemRole).value<ClipItem>(),
                       index.data(ClipListModel::IsSelectedRole).toBool(),
                       index.data(ClipListModel::IsHoveredRole).toBool()};
}

int ClipRowDelegate::previewLineCount(const ClipRowView& row, int width) const
{
    struct Cache
    {
        int width = -1;
        QFont appFont;
        QHash<QUuid, int> lineCounts;
    };
    static Cache cache;
    if (width != cache.width || QApplication::font() != cache.appFont) {
        cache.lineCounts.clear();
        cache.width = width;
        cache.appFont = QApplication::font();
    }
    auto found = cache.lineCounts.constFind(row.item.id);
    if (found == cache.lineCounts.constEnd())
        found = cache.lineCounts.insert(row.item.id, row.previewLineCount(width));
    return *found;
}

namespace {

// Rows span the list's whole width.
int rowWidth(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    return view ? view->viewport()->width() : option.rect.width();
}

} // namespace

void ClipRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const ClipRowView row = rowFor(index);
    row.paint(*painter, option.rect, option.palette, previewLineCount(row, rowWidth(option)),
              now_());
}

QSize ClipRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Called for every row at each layout: read the item directly rather than through variants.
    const auto* model = qobject_cast<const ClipListModel*>(index.model());
    const ClipItem* item = model ? model->itemAt(index.row()) : nullptr;
    const int width = rowWidth(option);
    const ClipRowView row =
        item ? ClipRowView{*item, false, false, model->rowText(index.row())} : rowFor(index);
    return {width, ClipRowView::height(previewLineCount(row, width))};
}

} // namespace quillstow
