#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace quillstow::settings {

// Our own monochrome icons, drawn from their SVG in `colour` so that they follow the desktop's
// palette.
QIcon generalTabIcon(const QColor& colour);
QIcon obsidianTabIcon(const QColor& colour);
// The program's own icon, for its windows.
QIcon appIcon();
// The tray's monochrome clipboard in `colour`, the panel's text colour as far as the desktop's
// palette tells it. Marked as a mask, so that trays which recolour icons themselves may.
QIcon trayIcon(const QColor& colour);

} // namespace quillstow::settings
