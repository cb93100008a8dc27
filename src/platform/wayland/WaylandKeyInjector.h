#pragma once

#include "platform/KeyInjector.h"

#include <QByteArray>
#include <cstdint>
#include <map>
#include <memory>

struct wl_keyboard;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace quillstow::platform {

class WaylandConnection;

// Synthetic keys through a virtual keyboard of the compositor's. It carries the keymap the seat's
// keyboard has now (a partial one makes toolkits ignore the shortcut), finds the keys by keysym
// on it, and tells the modifier state after each key, since clients read shortcuts from that.
//
// Wayland lets no client see other keyboards' modifiers: isModifierHeld always says no, and the
// paste waits settleDelay() before the keys instead.
class WaylandKeyInjector final : public KeyInjector
{
public:
    static constexpr std::chrono::milliseconds settle{100};

    explicit WaylandKeyInjector(std::shared_ptr<WaylandConnection> connection);
    ~WaylandKeyInjector() override;
    WaylandKeyInjector(const WaylandKeyInjector&) = delete;
    WaylandKeyInjector& operator=(const WaylandKeyInjector&) = delete;

    // False when the compositor offers no virtual keyboard (Weston, GNOME) or the connection is
    // gone.
    bool isAvailable() override;
    bool isModifierHeld() override { return false; }
    std::chrono::milliseconds settleDelay() const override { return settle; }
    void releaseModifiers() override;
    bool press(const KeyChord& chord) override;
    void release(const KeyChord& chord) override;

private:
    // Makes the virtual keyboard carry the seat's latest keymap; false when there is none usable.
    bool useLatestKeymap();
    void send(std::uint32_t keycode, bool down);

    static void seatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities);
    static void seatName(void* data, wl_seat* seat, const char* name);
    static void keyboardKeymap(void* data, wl_keyboard* keyboard, std::uint32_t format, int fd,
                               std::uint32_t size);

    std::shared_ptr<WaylandConnection> connection_;
    wl_seat* seat_ = nullptr; // our own binding of the seat, to hear of its keyboard
    wl_keyboard* keyboard_ = nullptr;
    zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
    zwp_virtual_keyboard_v1* virtualKeyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    QByteArray seatKeymap_; // the text the seat sent last
    QByteArray uploaded_;   // the text our keyboard carries
    // Keycodes (xkb's) of the keys we hold down, to let go of the very keys we pressed.
    std::map<Key, std::uint32_t> down_;
};

} // namespace quillstow::platform
