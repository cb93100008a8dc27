#include "platform/x11/X11WindowSystem.h"

#include "platform/x11/XcbSupport.h"

#include <QList>
#include <X11/Xlib.h>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quillstow::platform {

namespace {

// Window names and classes are short; anything beyond this is not worth a bigger transfer.
constexpr uint32_t maxPropertyWords = 1024;

using xcb::Reply;

struct Property
{
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 0;
    QByteArray bytes;
};

std::optional<Property> readProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                     xcb_atom_t type)
{
    if (name == XCB_ATOM_NONE)
        return std::nullopt;
    // A window that has gone away answers with an error: taken here, not left for Qt to log.
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, name, type, 0, maxPropertyWords), &error));
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    const int length = xcb_get_property_value_length(reply.get());
    return Property{
        reply->type, reply->format,
        QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length)};
}

std::optional<uint32_t> readCardinal(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                     xcb_atom_t type)
{
    const auto p = readProperty(c, window, name, type);
    if (!p || p->format != 32 || p->bytes.size() < 4)
        return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, p->bytes.constData(), sizeof value);
    return value;
}

} // namespace

X11WindowSystem::X11WindowSystem(xcb_connection_t* connection, _XDisplay* display)
    : connection_(connection)
{
    if (display != nullptr) {
        root_ = static_cast<xcb_window_t>(DefaultRootWindow(display));
        displayName_ = DisplayString(display);
    } else if (connection_ != nullptr) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
}

xcb_atom_t X11WindowSystem::atom(const char* name)
{
    const QByteArray key(name);
    if (const auto found = atoms_.constFind(key); found != atoms_.constEnd())
        return *found;
    const xcb_atom_t interned = xcb::internAtom(connection_, name);
    if (interned != XCB_ATOM_NONE)
        atoms_.insert(key, interned);
    return interned;
}

X11WindowSystem::~X11WindowSystem()
{
    if (clock_ != nullptr)
        xcb_disconnect(clock_);
}

std::optional<WindowRef> X11WindowSystem::activeWindow()
{
    if (connection_ == nullptr || root_ == XCB_WINDOW_NONE)
        return std::nullopt;
    const auto active =
        readCardinal(connection_, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE)
        return std::nullopt;
    return describe(*active);
}

WindowRef X11WindowSystem::describe(xcb_window_t window)
{
    WindowRef ref;
    ref.handle = window;
    // WM_CLASS is "instance\0class\0".
    if (const auto wmClass =
            readProperty(connection_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        const QList<QByteArray> parts = wmClass->bytes.split('\0');
        if (parts.size() >= 2)
            ref.appClass = QString::fromLatin1(parts.at(1));
    }
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    if (const auto name = readProperty(connection_, window, atom("_NET_WM_NAME"), utf8);
        name && name->format == 8) {
        ref.name = QString::fromUtf8(name->bytes);
    } else if (const auto legacy =
                   readProperty(connection_, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
               legacy && legacy->format == 8) {
        // ICCCM names are Latin-1 (STRING) unless a client says otherwise.
        ref.name = legacy->type == utf8 ? QString::fromUtf8(legacy->bytes)
                                        : QString::fromLatin1(legacy->bytes);
    }
    if (const auto pid = readCardinal(connection_, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL))
        ref.pid = *pid;
    return ref;
}

void X11WindowSystem::activate(const WindowRef& window)
{
    if (connection_ == nullptr || root_ == XCB_WINDOW_NONE || window.handle == 0)
        return;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.handle);
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2; // source indication: a pager, i.e. on the user's direct request
    event.data.data32[1] = serverTime();
    event.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

// The X server's current time: a zero-length append to a property of our own window makes the
// server report the change with its timestamp; the reply to a round trip sent after it proves
// that the event has arrived. Falls back to CurrentTime.
xcb_timestamp_t X11WindowSystem::serverTime()
{
    if (clock_ != nullptr && xcb_connection_has_error(clock_) != 0) {
        xcb_disconnect(clock_);
        clock_ = nullptr;
    }
    if (clock_ == nullptr) {
        int screenNumber = 0;
        clock_ =
            xcb_connect(displayName_.isEmpty() ? nullptr : displayName_.constData(), &screenNumber);
        if (xcb_connection_has_error(clock_) != 0) {
            xcb_disconnect(clock_);
            clock_ = nullptr;
            return XCB_CURRENT_TIME;
        }
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(clock_));
        for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
            xcb_screen_next(&screens);
        clockWindow_ = xcb_generate_id(clock_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(clock_, XCB_COPY_FROM_PARENT, clockWindow_, screens.data->root, -1, -1, 1,
                          1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_EVENT_MASK, &mask);
    }
    xcb_change_property(clock_, XCB_PROP_MODE_APPEND, clockWindow_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    std::free(xcb_get_input_focus_reply(clock_, xcb_get_input_focus(clock_), nullptr));
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(clock_)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
    }
    return time;
}

} // namespace quillstow::platform
