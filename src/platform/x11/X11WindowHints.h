#pragma once

class QWidget;
struct xcb_connection_t;

namespace quillstow::platform {

// Asks the window manager to leave `window` out of the taskbar and the pager (an EWMH hint), on
// Qt's own connection to the X server. Call before the window is first shown.
void keepOffTaskbarAndPager(xcb_connection_t* connection, QWidget& window);

} // namespace quillstow::platform
