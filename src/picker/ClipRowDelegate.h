#pragma once

#include "picker/ClipRowView.h"

#include <QStyledItemDelegate>
#include <QUuid>
#include <functional>

namespace quillstow {

// Paints the picker's rows from the list model's data. Row heights are remembered per item for
// the whole run, since an item's text never changes and every showing of the picker builds a new
// delegate.
class ClipRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using Clock = std::function<double()>;

    // `now` gives the current time, in seconds since 2001-01-01 UTC, for the age labels.
    explicit ClipRowDelegate(Clock now = {}, QObject* parent = nullptr);

    // The row for a model index and its preview line count at `width`.
    static ClipRowView rowFor(const QModelIndex& index);
    int previewLineCount(const ClipRowView& row, int width) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Clock now_;
};

} // namespace quillstow
