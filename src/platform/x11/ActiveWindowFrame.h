#pragma once

#include <QPoint>
#include <QtGlobal>
#include <optional>

namespace quillstow::platform::x11 {

// What the caret lookup needs to know about the window in front.
struct ActiveWindowFrame
{
    quint32 pid = 0; // 0 when the window does not name its process
    // Where the window's own drawing starts on the screen: its position, less the client-side
    // shadow that GTK draws around it.
    QPoint contentOrigin;
};

// The window the window manager reports as active; nothing when there is no X display, no
// active window, or it vanished meanwhile. Asks only the X server, never the window's owner.
std::optional<ActiveWindowFrame> activeWindowFrame();

} // namespace quillstow::platform::x11
