#include "platform/x11/X11KeyInjector.h"

#include "platform/x11/XcbSupport.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace quillstow::platform {

namespace {

using xcb::FreeDeleter;

struct KeySymbolsDeleter
{
    void operator()(xcb_key_symbols_t* s) const { xcb_key_symbols_free(s); }
};

xcb_keycode_t keycodeOf(xcb_key_symbols_t* symbols, Key key)
{
    for (const xcb_keysym_t keysym : keysymsOf(key)) {
        const std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(
            xcb_key_symbols_get_keycode(symbols, keysym));
        if (codes && codes.get()[0] != XCB_NO_SYMBOL)
            return codes.get()[0];
    }
    return XCB_NO_SYMBOL;
}

bool isDown(const uint8_t (&keys)[32], xcb_keycode_t code)
{
    return (keys[code / 8] & (1u << (code % 8))) != 0;
}

} // namespace

X11KeyInjector::X11KeyInjector(xcb_connection_t* connection) : connection_(connection) {}

bool X11KeyInjector::isAvailable()
{
    if (!available_) {
        const xcb_query_extension_reply_t* test =
            connection_ != nullptr ? xcb_get_extension_data(connection_, &xcb_test_id) : nullptr;
        available_ = test != nullptr && test->present != 0;
    }
    return *available_;
}

std::vector<xcb_keycode_t> X11KeyInjector::heldModifierKeys()
{
    std::vector<xcb_keycode_t> held;
    if (!isAvailable())
        return held;
    const auto mapCookie = xcb_get_modifier_mapping(connection_);
    const auto keymapCookie = xcb_query_keymap(connection_);
    const std::unique_ptr<xcb_get_modifier_mapping_reply_t, FreeDeleter> map(
        xcb_get_modifier_mapping_reply(connection_, mapCookie, nullptr));
    const std::unique_ptr<xcb_query_keymap_reply_t, FreeDeleter> keymap(
        xcb_query_keymap_reply(connection_, keymapCookie, nullptr));
    if (!map || !keymap)
        return held;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int count = xcb_get_modifier_mapping_keycodes_length(map.get());
    for (int i = 0; i < count; ++i) {
        const xcb_keycode_t code = codes[i];
        if (code != XCB_NO_SYMBOL && isDown(keymap->keys, code) &&
            std::find(held.begin(), held.end(), code) == held.end())
            held.push_back(code);
    }
    return held;
}

bool X11KeyInjector::isModifierHeld()
{
    return !heldModifierKeys().empty();
}

void X11KeyInjector::releaseModifiers()
{
    for (const xcb_keycode_t code : heldModifierKeys())
        send(XCB_KEY_RELEASE, code);
    if (connection_ != nullptr)
        xcb_flush(connection_);
}

bool X11KeyInjector::press(const KeyChord& chord)
{
    if (!isAvailable())
        return false;
    // A fresh copy of the keyboard map: the user may have switched layouts since the last paste.
    const std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols(
        xcb_key_symbols_alloc(connection_));
    if (!symbols)
        return false;
    std::vector<xcb_keycode_t> codes;
    for (const Key key : chord) {
        const xcb_keycode_t code = keycodeOf(symbols.get(), key);
        if (code == XCB_NO_SYMBOL)
            return false;
        codes.push_back(code);
    }
    for (std::size_t i = 0; i < chord.size(); ++i) {
        send(XCB_KEY_PRESS, codes[i]);
        down_[chord[i]] = codes[i];
    }
    xcb_flush(connection_);
    return true;
}

void X11KeyInjector::release(const KeyChord& chord)
{
    if (!isAvailable())
        return;
    for (auto key = chord.rbegin(); key != chord.rend(); ++key) {
        if (const auto found = down_.find(*key); found != down_.end()) {
            send(XCB_KEY_RELEASE, found->second);
            down_.erase(found);
        }
    }
    xcb_flush(connection_);
}

void X11KeyInjector::send(uint8_t type, xcb_keycode_t key)
{
    if (!isAvailable())
        return;
    xcb_test_fake_input(connection_, type, key, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
}

} // namespace quillstow::platform
