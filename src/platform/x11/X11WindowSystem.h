#pragma once

#include "platform/WindowSystem.h"

#include <QByteArray>
#include <QHash>
#include <xcb/xcb.h>

struct _XDisplay;

namespace quillstow::platform {

// The EWMH window manager's view: the root window's _NET_ACTIVE_WINDOW, and activation by a
// _NET_ACTIVE_WINDOW client message. Every read is one bounded round trip to the X server.
class X11WindowSystem : public WindowSystem
{
public:
    // `connection` and `display` are the application's own (Qt's); they outlive this object.
    X11WindowSystem(xcb_connection_t* connection, _XDisplay* display);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    std::optional<WindowRef> activeWindow() override;
    void activate(const WindowRef& window) override;

    // What the window manager and the window itself say about `window`.
    WindowRef describe(xcb_window_t window);

private:
    xcb_atom_t atom(const char* name);
    xcb_timestamp_t serverTime();

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    QByteArray displayName_;
    QHash<QByteArray, xcb_atom_t> atoms_;
    // A connection of our own that only asks the server for the time: the answer comes as an
    // event, and the application's connection hands every event to Qt.
    xcb_connection_t* clock_ = nullptr;
    xcb_window_t clockWindow_ = XCB_WINDOW_NONE;
};

} // namespace quillstow::platform
