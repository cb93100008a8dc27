#include "platform/wayland/WaylandKeyInjector.h"

#include "platform/DebugLog.h"
#include "platform/wayland/WaylandConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <virtual-keyboard-unstable-v1-client-protocol.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace quillstow::platform {

namespace {

// wl_keyboard.keymap's fd must be mapped privately from this version on; 5 is all we need.
constexpr std::uint32_t seatVersion = 5;
// Wayland key codes are evdev's; xkb's are 8 higher.
constexpr std::uint32_t evdevOffset = 8;

bool keyProduces(xkb_keymap* keymap, xkb_keycode_t code, xkb_layout_index_t layout,
                 xkb_level_index_t level, xkb_keysym_t keysym)
{
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, code, layout, level, &syms);
    return std::find(syms, syms + std::max(count, 0), keysym) != syms + std::max(count, 0);
}

struct Found
{
    xkb_keycode_t code = XKB_KEYCODE_INVALID;
    xkb_layout_index_t layout = 0;
};

// The key that gives `key` with the fewest modifiers, in the first layout that has it.
Found findKey(xkb_keymap* keymap, Key key)
{
    const xkb_keycode_t first = xkb_keymap_min_keycode(keymap);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (const xkb_keysym_t keysym : keysymsOf(key)) {
        for (xkb_layout_index_t layout = 0; layout < xkb_keymap_num_layouts(keymap); ++layout) {
            for (xkb_level_index_t level = 0; level < 4; ++level) {
                for (xkb_keycode_t code = first; code <= last; ++code) {
                    if (layout < xkb_keymap_num_layouts_for_key(keymap, code) &&
                        level < xkb_keymap_num_levels_for_key(keymap, code, layout) &&
                        keyProduces(keymap, code, layout, level, keysym))
                        return {code, layout};
                }
            }
        }
    }
    return {};
}

std::uint32_t nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// An anonymous file holding `text` and its terminating NUL; -1 on failure.
int keymapFile(const QByteArray& text)
{
    const int fd = memfd_create("quillstow-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    const char* data = text.constData();
    std::size_t left = static_cast<std::size_t>(text.size()) + 1;
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            close(fd);
            return -1;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return fd;
}

} // namespace

WaylandKeyInjector::WaylandKeyInjector(std::shared_ptr<WaylandConnection> connection)
    : connection_(std::move(connection)), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
        connection_->bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    seat_ = static_cast<wl_seat*>(connection_->bind(wl_seat_interface, seatVersion));
    if (!manager_ || !seat_) {
        debuglog::write(QStringLiteral("WaylandKeyInjector: the compositor offers no virtual "
                                       "keyboard; pasting is left to the user"));
        return;
    }
    static const wl_seat_listener seatListener = {&WaylandKeyInjector::seatCapabilities,
                                                  &WaylandKeyInjector::seatName};
    wl_seat_add_listener(seat_, &seatListener, this);
    virtualKeyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
    connection_->flush();
}

WaylandKeyInjector::~WaylandKeyInjector()
{
    if (!connection_->isLost()) {
        for (const auto& [key, code] : down_)
            send(code, false);
    }
    if (virtualKeyboard_)
        zwp_virtual_keyboard_v1_destroy(virtualKeyboard_);
    if (manager_)
        zwp_virtual_keyboard_manager_v1_destroy(manager_);
    if (keyboard_)
        wl_keyboard_release(keyboard_);
    if (seat_)
        wl_seat_release(seat_);
    connection_->flush();
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

void WaylandKeyInjector::seatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities)
{
    auto* self = static_cast<WaylandKeyInjector*>(data);
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasKeyboard && !self->keyboard_) {
        static const wl_keyboard_listener keyboardListener = {
            &WaylandKeyInjector::keyboardKeymap,
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
               std::uint32_t) {},
            [](void*, wl_keyboard*, std::int32_t, std::int32_t) {
            }};
        self->keyboard_ = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
    } else if (!hasKeyboard && self->keyboard_) {
        // The last keymap stays the one to use.
        wl_keyboard_release(std::exchange(self->keyboard_, nullptr));
    }
}

void WaylandKeyInjector::seatName(void*, wl_seat*, const char*) {}

void WaylandKeyInjector::keyboardKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd,
                                        std::uint32_t size)
{
    auto* self = static_cast<WaylandKeyInjector*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const auto* text = static_cast<const char*>(map);
            self->seatKeymap_ = QByteArray(text, static_cast<qsizetype>(strnlen(text, size)));
            munmap(map, size);
        } else {
            debuglog::write(QStringLiteral("WaylandKeyInjector: could not read the seat's "
                                           "keymap: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    close(fd);
}

bool WaylandKeyInjector::isAvailable()
{
    return virtualKeyboard_ && !connection_->isLost();
}

bool WaylandKeyInjector::useLatestKeymap()
{
    if (!context_)
        return false;
    QByteArray text = seatKeymap_;
    if (text.isEmpty() && uploaded_.isEmpty()) {
        // A seat without a keyboard yet: the system's default layout.
        xkb_keymap* fallback =
            xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (fallback) {
            char* serialised = xkb_keymap_get_as_string(fallback, XKB_KEYMAP_FORMAT_TEXT_V1);
            text = QByteArray(serialised);
            std::free(serialised);
            xkb_keymap_unref(fallback);
        }
    }
    if (text.isEmpty() || text == uploaded_)
        return keymap_ != nullptr;

    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context_, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        debuglog::write(QStringLiteral("WaylandKeyInjector: the seat's keymap does not compile"));
        return keymap_ != nullptr;
    }
    const int fd = keymapFile(text);
    if (fd < 0) {
        debuglog::write(QStringLiteral("WaylandKeyInjector: no memory file for the keymap: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        xkb_keymap_unref(keymap);
        return keymap_ != nullptr;
    }
    releaseModifiers(); // keys held under the old keymap: let go of them while it still holds
    // libwayland sends a copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(virtualKeyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(text.size()) + 1);
    close(fd);
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = xkb_state_new(keymap_);
    uploaded_ = text;
    return state_ != nullptr;
}

void WaylandKeyInjector::releaseModifiers()
{
    if (!isAvailable())
        return;
    // Only our own keys can be let go of: the user's are out of a client's reach.
    for (const auto& [key, code] : down_)
        send(code, false);
    down_.clear();
    connection_->flush();
}

bool WaylandKeyInjector::press(const KeyChord& chord)
{
    if (!isAvailable() || !useLatestKeymap())
        return false;
    std::vector<Found> keys;
    for (const Key key : chord) {
        const Found found = findKey(keymap_, key);
        if (found.code == XKB_KEYCODE_INVALID)
            return false;
        keys.push_back(found);
    }
    // The layout that has the chord's last key (the letter) is the one in force while it is down.
    const xkb_layout_index_t layout = keys.empty() ? 0 : keys.back().layout;
    if (xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE) != layout)
        xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                              xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                              xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED), 0, 0,
                              layout);
    for (std::size_t i = 0; i < chord.size(); ++i) {
        send(keys[i].code, true);
        down_[chord[i]] = keys[i].code;
    }
    connection_->flush();
    return true;
}

void WaylandKeyInjector::release(const KeyChord& chord)
{
    if (!isAvailable())
        return;
    for (auto key = chord.rbegin(); key != chord.rend(); ++key) {
        if (const auto found = down_.find(*key); found != down_.end()) {
            send(found->second, false);
            down_.erase(found);
        }
    }
    connection_->flush();
}

void WaylandKeyInjector::send(std::uint32_t keycode, bool down)
{
    if (!state_)
        return;
    zwp_virtual_keyboard_v1_key(virtualKeyboard_, nowMs(), keycode - evdevOffset,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state_, keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    // Clients take shortcuts from the modifier state they are told, not from the keys.
    zwp_virtual_keyboard_v1_modifiers(
        virtualKeyboard_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
}

} // namespace quillstow::platform
