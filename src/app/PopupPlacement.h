#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the popup goes, in the desktop's own coordinates (origin at the top-left, y growing
// downward). Every rule returns the popup's top-left corner.
namespace quillstow::placement {

inline constexpr QSize popupSize{480, 520};
inline constexpr int trayHorizontalOffset = 240; // half the popup's width
inline constexpr int trayGap = 6;
inline constexpr int screenMargin = 8;

// The first screen whose geometry holds `point` (its left and top edges inside, its right and
// bottom edges outside), else `fallback`. -1 when there are no screens.
int screenIndexFor(QPoint point, const QList<QRect>& screens, int fallback);

// The popup opens with its top-left corner on the anchor (the caret's lower-left corner, or the
// pointer), pushed back inside the anchor's screen where it would cross an edge.
QPoint nearAnchor(QPoint anchor, const QList<QRect>& screens, int mainScreen);

// Centred under the tray icon, 6 pixels below it and at least 8 from the screen's left edge;
// above the icon when there is no room below (trays often sit at the bottom), and never off the
// icon's screen.
QPoint underTrayIcon(const QRect& icon, const QList<QRect>& screens, int mainScreen);

} // namespace quillstow::placement
