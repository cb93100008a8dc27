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
// Who draws the tray icon: an X11 panel that embeds it, whose text colour the desktop's palette
// tells, or a StatusNotifierItem host (swaybar, Plasma), which draws it on a bar of its own colour.
enum class TrayHost
{
    Panel,
    StatusNotifier
};
// In a panel, the monochrome clipboard in `colour`, the panel's text colour as far as the
// palette tells it, marked as a mask so that trays which recolour icons themselves may. A
// StatusNotifierItem host gets the program's own icon, which shows on a dark bar and a light one.
QIcon trayIcon(TrayHost host, const QColor& colour);

} // namespace quillstow::settings
