#include "picker/ClipRowDelegate.h"

#include "picker/ClipListModel.h"

#include <QAbstractItemView>
#include <QHash>
#include <QPainter>

namespace quillstow {

ClipRowDelegate::ClipRowDelegate(Clock now, QObject* parent)
    : QStyledItemDelegate(parent), now_(now ? std::move(now) : Clock(currentCopiedAt))
{}

ClipRowView ClipRowDelegate::rowFor(const QModelIndex& index)
{
    return ClipRowView{index.data(ClipListModel::ItemRole).value<ClipItem>(),
                       index.data(ClipListModel::IsSelectedRole).toBool(),
                       index.data(ClipListModel::IsHoveredRole).toBool()};
}

int ClipRowDelegate::previewLineCount(const ClipRowView& row, int width) const
{
    struct Cache
    {
        int width = -1;
        QString font;
        QHash<QUuid, int> lineCounts;
    };
    static Cache cache;
    const QString font = ClipRowView::previewFont().key();
    if (width != cache.width || font != cache.font) {
        cache.lineCounts.clear();
        cache.width = width;
        cache.font = font;
    }
    auto found = cache.lineCounts.constFind(row.item.id);
    if (found == cache.lineCounts.constEnd())
        found = cache.lineCounts.insert(row.item.id, row.previewLineCount(width));
    return *found;
}

void ClipRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const ClipRowView row = rowFor(index);
    row.paint(*painter, option.rect, option.palette, previewLineCount(row, option.rect.width()),
              now_());
}

QSize ClipRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ClipRowView row = rowFor(index);
    // Rows span the list's whole width.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int width = view ? view->viewport()->width() : option.rect.width();
    return {width, ClipRowView::height(previewLineCount(row, width))};
}

} // namespace quillstow
