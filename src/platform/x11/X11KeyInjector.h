#pragma once

#include "platform/KeyInjector.h"

#include <map>
#include <optional>
#include <xcb/xcb.h>

namespace quillstow::platform {

// Synthetic keys through the XTEST extension. Keys are looked up by keysym on the keyboard map in
// force at each press, so they work whatever the layout.
class X11KeyInjector : public KeyInjector
{
public:
    // `connection` is the application's own (Qt's); it outlives this object.
    explicit X11KeyInjector(xcb_connection_t* connection);

    // A fake-input request to a server without XTEST would cost us the connection, so every
    // other member sends nothing unless this is true.
    bool isAvailable() override;
    bool isModifierHeld() override;
    void releaseModifiers() override;
    bool press(const KeyChord& chord) override;
    void release(const KeyChord& chord) override;

private:
    std::vector<xcb_keycode_t> heldModifierKeys();
    void send(uint8_t type, xcb_keycode_t key);

    xcb_connection_t* connection_;
    std::optional<bool> available_;
    // Keycodes of the keys we hold down, to let go of the very keys we pressed.
    std::map<Key, xcb_keycode_t> down_;
};

} // namespace quillstow::platform
