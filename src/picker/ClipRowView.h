#pragma once

#include "history/ClipItem.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QLocale>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

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

// "N words"; there is no singular.
QString wordCountText(int words);

// The preview laid out in at most `maxLines` lines of `width` pixels, the last one ending in an
// ellipsis when text remains.
QStringList previewLines(const QString& preview, const QFont& font, int width, int maxLines = 2);

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
    static inline const QString savedText = QStringLiteral("Obsidian");

    ClipItem item;
    bool isSelected = false;
    bool isHovered = false;

    static QFont previewFont();
    static QFont captionFont();

    bool showsActionButtons() const { return isHovered || isSelected; }
    // Pin or unpin, save to the vault, delete: in this order.
    std::array<ActionButton, 3> actionButtons() const;
    QList<MenuItem> contextMenuItems() const;
    Background background() const;

    QColor backgroundColor(const QPalette& palette) const;
    QColor previewColor(const QPalette& palette) const;
    QColor metadataColor(const QPalette& palette) const;
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
