#pragma once

// The X desktop as the latency benchmarks see it: which window is active and holds the input
// focus, and synthetic key chords through XTest.
#include <QString>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace bench {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

class Desktop
{
public:
    Desktop() : connection_(xcb_connect(nullptr, nullptr))
    {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        activeAtom_ = atom("_NET_ACTIVE_WINDOW");
        nameAtom_ = atom("_NET_WM_NAME");
        utf8Atom_ = atom("UTF8_STRING");
        symbols_ = xcb_key_symbols_alloc(connection_);
    }
    ~Desktop()
    {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    xcb_window_t activeWindow()
    {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_NONE;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    }

    QString name(xcb_window_t window)
    {
        if (window == XCB_NONE)
            return {};
        // _NET_WM_NAME where the client sets it (Qt, GTK), WM_NAME otherwise (xterm).
        for (const auto& [property, type] :
             {std::pair{nameAtom_, utf8Atom_},
              std::pair{xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_GET_PROPERTY_TYPE_ANY)}}) {
            Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 0, window, property, type, 0, 256),
                nullptr));
            if (reply && xcb_get_property_value_length(reply.get()) > 0)
                return QString::fromUtf8(
                    static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get()));
        }
        return {};
    }

    // Whether the X input focus is in `window` or one of its descendants.
    bool hasInputFocus(xcb_window_t window)
    {
        Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        if (!focus)
            return false;
        for (xcb_window_t w = focus->focus; w != XCB_NONE && w != root_;) {
            if (w == window)
                return true;
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(connection_, xcb_query_tree(connection_, w), nullptr));
            if (!tree)
                return false;
            w = tree->parent;
        }
        return false;
    }

    bool isActive(const QString& title) { return name(activeWindow()) == title; }

    // The picker is up once it is the active window and holds the input focus.
    bool pickerHasFocus()
    {
        const xcb_window_t active = activeWindow();
        return name(active) == QStringLiteral("Quillstow") && hasInputFocus(active);
    }

    // Presses the keys in order and lets go of them in reverse, as xdotool key does.
    void chord(const std::vector<xcb_keysym_t>& keysyms)
    {
        std::vector<xcb_keycode_t> codes;
        for (xcb_keysym_t sym : keysyms) {
            std::unique_ptr<xcb_keycode_t, FreeDeleter> found(
                xcb_key_symbols_get_keycode(symbols_, sym));
            codes.push_back(found ? found.get()[0] : 0);
        }
        for (xcb_keycode_t code : codes)
            xcb_test_fake_input(connection_, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            xcb_test_fake_input(connection_, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        xcb_flush(connection_);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_atom_t activeAtom_ = 0;
    xcb_atom_t nameAtom_ = 0;
    xcb_atom_t utf8Atom_ = 0;
    xcb_key_symbols_t* symbols_ = nullptr;
};

} // namespace bench
