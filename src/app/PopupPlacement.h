#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the popup goes, in the desktop's own coordinates (origin at the top-left, y growing
// downward). Every rule returns the popup's top-left corner.
namespace quillstow::placement {

// The picker's natural size; a smaller screen gets a smaller picker (fittedSize).
inline constexpr QSize popupSize{480, 520};
inline constexpr int trayGap = 6;
inline constexpr int screenMargin = 8;

// The first screen whose geometry holds `point` (its left and top edges inside, its right and
// bottom edges outside), else `fallback`. -1 when there are no screens.
int screenIndexFor(QPoint point, const QList<QRect>& screens, int fallback);

// The picker's size on a screen whose free area (the screen less its panels) is `available`:
// its natural size, cut down to that area so the footer stays reachable at any scale.
QSize fittedSize(QSize available);

// The popup opens just below the anchor (the caret's rectangle, or the pointer as an empty one),
// its left edge on the anchor's; where there is no room below, it opens above the anchor rather
// than over the text being typed. Pushed back inside the anchor's screen where it would cross
// an edge.
QPoint nearAnchor(const QRect& anchor, QSize popup, const QList<QRect>& screens, int mainScreen);

// Centred under the tray icon, 6 pixels below it and at least 8 from the screen's left edge;
// above the icon when there is no room below (trays often sit at the bottom), and never off the
// icon's screen.
QPoint underTrayIcon(const QRect& icon, QSize popup, const QList<QRect>& screens, int mainScreen);

// In the middle of `output`, for when neither the caret nor the pointer is known.
QPoint centredOn(const QRect& output, QSize popup);

} // namespace quillstow::placement
