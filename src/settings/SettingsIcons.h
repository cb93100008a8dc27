#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace quillstow::settings {

// Our own tab icons, drawn from their SVG in `colour` so that they follow the desktop's palette.
QIcon generalTabIcon(const QColor& colour);
QIcon obsidianTabIcon(const QColor& colour);

} // namespace quillstow::settings
