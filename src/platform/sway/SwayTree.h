#pragma once

#include "platform/WindowFrame.h"

#include <QJsonDocument>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

// What the picker's placement reads from sway's layout tree (get_tree), and the rule it sends.
// Coordinates are sway's layout coordinates, the same as Qt's screen geometries.
namespace quillstow::platform::sway {

// The focused window: its process and where its content starts (the container's rect plus the
// content's offset inside it, window_rect). Nothing when no window has the focus.
std::optional<WindowFrame> focusedWindow(const QJsonDocument& tree);

// The rectangle of the output holding the focus (the focused window's, or the focused empty
// workspace's). Nothing when sway reports no focus.
std::optional<QRect> focusedOutput(const QJsonDocument& tree);

// sway keeps every for_window rule for its whole lifetime and runs all the rules that match a
// new window, in the order they were added; a rule sent again with the same text is dropped as
// a repeat, so it keeps its old place in that order. Measured on sway 1.7: rules for (100,100),
// (300,300), then (100,100) again put the window at (300,300). So each position gets its own
// rule, matched by a window title that names the position: only that one rule matches, however
// many are kept. The position is rounded to a grid (x down, y up, so the caret stays uncovered)
// to bound how many rules one sway session can collect: at most one per grid cell of the
// outputs, about 600 bytes each in sway.
inline constexpr int placementGrid = 8;
QPoint gridPosition(QPoint topLeft);

// The title that the window placed at `topLeft` (already on the grid) carries.
QString placementTitle(QPoint topLeft);

// The rule that makes sway map the window with that title and `appId` floating, without a
// border, at `topLeft`.
QString placementRule(const QString& appId, QPoint topLeft);

} // namespace quillstow::platform::sway
