#include "platform/x11/X11WindowHints.h"

#include "platform/x11/XcbSupport.h"

#include <QWidget>
#include <xcb/xcb.h>

namespace quillstow::platform {

using xcb::internAtom;

void keepOffTaskbarAndPager(xcb_connection_t* connection, QWidget& window)
{
    // An unmapped window's state is set as a plain property; Qt adds its own states to it when
    // it maps the window.
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t states[] = {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id,
                        internAtom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(connection);
}

} // namespace quillstow::platform
