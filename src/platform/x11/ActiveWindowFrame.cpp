#include "platform/x11/ActiveWindowFrame.h"

#include "platform/x11/XcbSupport.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace quillstow::platform::x11 {

namespace {

using xcb::internAtom;

// Up to `count` 32-bit values of a property; fewer when the property is shorter or missing.
int readCardinals(xcb_connection_t* c, xcb_get_property_cookie_t cookie, uint32_t* out, int count)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply)
        return 0;
    int n = 0;
    if (reply->format == 32) {
        n = std::min(count, xcb_get_property_value_length(reply) / 4);
        std::memcpy(out, xcb_get_property_value(reply), static_cast<size_t>(n) * 4);
    }
    std::free(reply);
    return n;
}

} // namespace

std::optional<ActiveWindowFrame> activeWindowFrame()
{
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return std::nullopt;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return std::nullopt;

    static const xcb_atom_t activeAtom = internAtom(c, "_NET_ACTIVE_WINDOW");
    static const xcb_atom_t pidAtom = internAtom(c, "_NET_WM_PID");
    static const xcb_atom_t extentsAtom = internAtom(c, "_GTK_FRAME_EXTENTS");

    uint32_t window = 0;
    if (readCardinals(c, xcb_get_property(c, 0, screen->root, activeAtom, XCB_ATOM_WINDOW, 0, 1),
                      &window, 1) != 1 ||
        window == XCB_WINDOW_NONE)
        return std::nullopt;

    // All three requests go out before the first answer is awaited.
    const auto pidCookie = xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    const auto extentsCookie = xcb_get_property(c, 0, window, extentsAtom, XCB_ATOM_CARDINAL, 0, 4);
    const auto originCookie = xcb_translate_coordinates(c, window, screen->root, 0, 0);

    ActiveWindowFrame frame;
    uint32_t pid = 0;
    if (readCardinals(c, pidCookie, &pid, 1) == 1)
        frame.pid = pid;
    uint32_t extents[4] = {0, 0, 0, 0}; // left, right, top, bottom
    const int extentCount = readCardinals(c, extentsCookie, extents, 4);
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(c, originCookie, nullptr);
    if (!origin)
        return std::nullopt;
    frame.contentOrigin = QPoint(origin->dst_x, origin->dst_y);
    std::free(origin);
    if (extentCount == 4)
        frame.contentOrigin += QPoint(static_cast<int>(extents[0]), static_cast<int>(extents[2]));
    return frame;
}

} // namespace quillstow::platform::x11
