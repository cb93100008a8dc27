#pragma once

class QWidget;

namespace quillstow::platform {

// Asks the window manager to leave `window` out of the taskbar and the pager (an EWMH hint on
// X11; nothing elsewhere). Call before the window is first shown.
void keepOffTaskbarAndPager(QWidget& window);

} // namespace quillstow::platform
