#pragma once

#include "history/ClipItem.h"
#include "history/TextSearch.h"
#include "picker/CountText.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QLocale>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace quillstow {

// What a row's click, buttons and menu items ask the picker to do.
enum class RowAction
{
    tap,
    pin,
    saveToObsidian,
    remove,
};

// The age of a clip as the row shows it: "Just now", "5m ago", "3h ago", "2d ago", or the short
// date for a week or more. Both times are seconds since 2001-01-01 UTC.
QString shortLabel(double copiedAt, double now, const QLocale& locale = QLocale());

// The preview laid out in at most `maxLines` lines of `width` pixels, the last one ending in an
// ellipsis when text remains.
QStringList previewLines(const QString& preview, const QFont& font, int width, int maxLines = 2);

// What a row shows of an item's text, worked out once per item and shared by every copy: the
// preview and its direction when made, the word count (a walk over the whole text) when first
// asked for.
class RowText
{
public:
    RowText();
    explicit RowText(const ClipItem& item);

    const QString& preview() const { return d_->preview; }
    // The preview without the "…" that marks left-out text: the part a query can match.
    QString matchablePreview() const { return d_->preview.first(d_->matchableLength); }
    // Right to left when the preview's first strong character is.
    Qt::LayoutDirection direction() const { return d_->direction; }
    int wordCount() const;
    // Whether this was made from `item`'s very text.
    bool isOf(const ClipItem& item) const;

private:
    struct Data
    {
        QString content;
        QString preview;
        qsizetype matchableLength = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        mutable std::optional<int> wordCount;
    };
    std::shared_ptr<const Data> d_;
};

// One entry of the clipboard history as a list row: what it shows, where, in which colours, and
// what a click at a point means. The list's delegate paints it; nothing here keeps state.
struct ClipRowView
{
    struct ActionButton
    {
        RowAction action;
        QString iconName;
        QString tooltip;
    };

    // A context menu entry; an absent action is a separator.
    struct MenuItem
    {
        std::optional<RowAction> action;
        QString text;
        bool isDestructive = false;
    };

    enum class Background
    {
        clear,
        hovered,
        selected,
    };

    // Where each part of a row goes inside the row's rectangle.
    struct Geometry
    {
        QRect background;
        std::optional<QRect> pinMark;
        QRect preview;
        QRect metadata;
        std::array<QRect, 3> buttons{}; // empty while the buttons are hidden
        QLine divider;
    };

    static constexpr int horizontalInset = 14;
    static constexpr int verticalInset = 8;
    static constexpr int backgroundInset = 6;
    static constexpr int spacing = 10;
    static constexpr int lineGap = 2;
    static constexpr int metadataSpacing = 6;
    static constexpr int buttonSize = 22;
    static constexpr int buttonSpacing = 4;
    static constexpr int buttonIconSize = 13;
    static constexpr int markSize = 12;
    static constexpr int cornerRadius = 6;
    static constexpr int buttonCornerRadius = 4;
    static constexpr int dividerInset = 14;
    static constexpr int maxPreviewLines = 2;
    static inline const QString separator = QStringLiteral("\u00B7");

    ClipItem item;
    bool isSelected = false;
    bool isHovered = false;
    RowText text = RowText(item);
    // Where the query matches in the preview.
    std::vector<TextRange> matches = {};

    static QFont previewFont();
    static QFont captionFont();

    bool showsActionButtons() const { return isHovered || isSelected; }
    // A right-to-left row is laid out mirrored: mark and text on the right, buttons on the left.
    bool isRightToLeft() const { return text.direction() == Qt::RightToLeft; }
    // Pin or unpin, save to the vault, delete: in this order.
    std::array<ActionButton, 3> actionButtons() const;
    QList<MenuItem> contextMenuItems() const;
    Background background() const;

    QColor backgroundColor(const QPalette& palette) const;
    QColor previewColor(const QPalette& palette) const;
    QColor metadataColor(const QPalette& palette) const;
    // Behind the query's matches: the accent, tinted, on a plain row; a darker band on the
    // selected row, whose background is the accent already.
    QColor matchColor(const QPalette& palette) const;
    static QColor pinMarkColor(const QPalette& palette);
    static QColor savedMarkColor(const QPalette& palette);

    // The texts of the metadata line, left to right; the saved mark's icon goes before
    // "Obsidian".
    QStringList metadataTexts(double now) const;

    // Preview lines the row needs at `rowWidth`, with room left for the buttons whether they
    // show or not.
    int previewLineCount(int rowWidth) const;
    static int height(int previewLineCount);
    Geometry geometry(const QRect& rect, int previewLineCount) const;

    // The button under `pos`, if the buttons are shown; otherwise a click anywhere is a tap.
    std::optional<ActionButton> buttonAt(const QRect& rect, int previewLineCount,
                                         const QPoint& pos) const;

    void paint(QPainter& painter, const QRect& rect, const QPalette& palette, int previewLineCount,
               double now) const;
};

} // namespace quillstow
