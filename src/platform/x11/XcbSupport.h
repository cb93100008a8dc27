#pragma once

#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

// Small helpers shared by the X11 backends.
namespace quillstow::platform::xcb {

// xcb hands out replies and errors allocated with malloc.
struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// One round trip to the X server; XCB_ATOM_NONE when it does not answer.
inline xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace quillstow::platform::xcb
