#include "platform/x11/X11GlobalHotkey.h"

#include "platform/DebugLog.h"
#include "platform/x11/XcbSupport.h"

#include <QCoreApplication>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace quillstow::platform {

namespace {

// X keysyms used here (from X11/keysymdef.h).
constexpr xcb_keysym_t keysymSuperL = 0xffeb;
constexpr xcb_keysym_t keysymSuperR = 0xffec;
constexpr xcb_keysym_t keysymAltL = 0xffe9;
constexpr xcb_keysym_t keysymAltR = 0xffea;
constexpr xcb_keysym_t keysymNumLock = 0xff7f;
constexpr xcb_keysym_t keysymScrollLock = 0xff14;

constexpr std::uint8_t badAccess = 10;

// XKB's own event codes (from xcb/xkb.h): the second byte of its events.
constexpr std::uint8_t xkbNewKeyboardNotify = 0;
constexpr std::uint8_t xkbMapNotify = 1;
constexpr const char* xkbName = "XKEYBOARD";

// The X keysym of a key Qt names, or none for keys a hot key cannot use.
xcb_keysym_t keysymFor(Qt::Key key)
{
    // Printable Latin-1 keys share their codes with X; letters in lower case.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<xcb_keysym_t>(key - Qt::Key_A + 'a');
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return static_cast<xcb_keysym_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return static_cast<xcb_keysym_t>(0xffbe + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Escape:
        return 0xff1b;
    case Qt::Key_Tab:
        return 0xff09;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Return:
        return 0xff0d;
    case Qt::Key_Enter:
        return 0xff8d;
    case Qt::Key_Insert:
        return 0xff63;
    case Qt::Key_Delete:
        return 0xffff;
    case Qt::Key_Pause:
        return 0xff13;
    case Qt::Key_Print:
        return 0xff61;
    case Qt::Key_Home:
        return 0xff50;
    case Qt::Key_End:
        return 0xff57;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    case Qt::Key_PageUp:
        return 0xff55;
    case Qt::Key_PageDown:
        return 0xff56;
    case Qt::Key_Menu:
        return 0xff67;
    default:
        return XCB_NO_SYMBOL;
    }
}

using xcb::FreeDeleter;
template <typename T> using XcbReply = xcb::Reply<T>;

} // namespace

X11GlobalHotkey::X11GlobalHotkey(xcb_connection_t* connection) : connection_(connection)
{
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    followMapping();
    // Qt's connection takes part in XKB, and then the server reports mapping changes through
    // XKB's events rather than the core MappingNotify.
    const XcbReply<xcb_query_extension_reply_t> xkb(xcb_query_extension_reply(
        connection_,
        xcb_query_extension(connection_, static_cast<std::uint16_t>(std::strlen(xkbName)), xkbName),
        nullptr));
    if (xkb && xkb->present)
        xkbFirstEvent_ = xkb->first_event;
    QCoreApplication::instance()->installNativeEventFilter(this);
    // The release goes to the window in front once the grab has ended, so it is watched for
    // instead, only while the key is held. The server's repeat lets the key up and down again
    // in a flash, so it counts as let go only when two polls in a row find it up; a tap lasts
    // longer than that, so a new press is never taken for a repeat.
    heldPoll_.setInterval(10);
    QObject::connect(&heldPoll_, &QTimer::timeout, [this] {
        if (isKeyDown(heldKeycode_)) {
            seenUp_ = false;
            return;
        }
        if (seenUp_) {
            heldKeycode_ = 0;
            heldPoll_.stop();
        }
        seenUp_ = true;
    });
}

X11GlobalHotkey::~X11GlobalHotkey()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    ungrabAll();
}

void X11GlobalHotkey::ungrabAll()
{
    for (const Grab& grab : grabs_) {
        for (std::uint16_t lock : lockCombinations())
            xcb_ungrab_key(connection_, grab.keycode, root_,
                           static_cast<std::uint16_t>(grab.modifiers | lock));
    }
    xcb_flush(connection_);
}

void X11GlobalHotkey::followMapping()
{
    const ModifierMasks masks = modifierMasks();
    numLock_ = masks.numLock;
    ignoredLocks_ =
        static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | masks.numLock | masks.scrollLock);
}

void X11GlobalHotkey::regrab()
{
    isRegrabScheduled_ = false;
    // The server is held across the swap: a press that came between the old grabs and the new
    // ones would go to the window in front. XTest input from a new device alone makes the
    // server announce a new keyboard, so this runs while the user types the hot key.
    xcb_grab_server(connection_);
    // Released with the old masks, which are the ones they were taken with.
    ungrabAll();
    followMapping();
    std::vector<Grab> previous = std::move(grabs_);
    grabs_.clear();
    for (Grab& old : previous) {
        QString error;
        if (!grab(old.key, old.wanted, std::move(old.onPress), &error))
            debuglog::write(
                QStringLiteral("X11GlobalHotkey: the hot key is lost after a change of the "
                               "keyboard mapping: ") +
                error);
    }
    xcb_ungrab_server(connection_);
    xcb_flush(connection_);
}

std::vector<std::uint16_t> X11GlobalHotkey::lockCombinations() const
{
    return {0, XCB_MOD_MASK_LOCK, numLock_,
            static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock_)};
}

X11GlobalHotkey::ModifierMasks X11GlobalHotkey::modifierMasks() const
{
    ModifierMasks masks;
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    if (!mapping || !symbols) {
        xcb_key_symbols_free(symbols);
        masks.super = XCB_MOD_MASK_4;
        masks.alt = XCB_MOD_MASK_1;
        masks.numLock = XCB_MOD_MASK_2;
        return masks;
    }
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    // Shift, Lock and Control are fixed; the roles of Mod1..Mod5 come from the keys on them.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const auto mask = static_cast<std::uint16_t>(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0)
                continue;
            for (int column = 0; column < 4; ++column) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, code, column);
                // A grab needs the one bit the key sets, not every bit some such key is on.
                if ((sym == keysymSuperL || sym == keysymSuperR) && !masks.super)
                    masks.super = mask;
                else if ((sym == keysymAltL || sym == keysymAltR) && !masks.alt)
                    masks.alt = mask;
                else if (sym == keysymNumLock)
                    masks.numLock |= mask;
                else if (sym == keysymScrollLock)
                    masks.scrollLock |= mask;
            }
        }
    }
    xcb_key_symbols_free(symbols);
    if (!masks.super)
        masks.super = XCB_MOD_MASK_4;
    if (!masks.alt)
        masks.alt = XCB_MOD_MASK_1;
    return masks;
}

std::uint8_t X11GlobalHotkey::keycodeFor(Qt::Key key) const
{
    // Keycodes of the U.S. letter positions on evdev and XFree86 keyboards alike.
    static constexpr std::array<std::uint8_t, 26> letterPositions{
        38, 56, 54, 40, 26, 41, 42, 43, 31, 44, 45, 46, 58, // A..M
        57, 32, 33, 24, 27, 39, 28, 30, 55, 25, 53, 29, 52, // N..Z
    };
    const xcb_keysym_t keysym = keysymFor(key);
    if (keysym == XCB_NO_SYMBOL)
        return 0;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    const bool isLetter = key >= Qt::Key_A && key <= Qt::Key_Z;
    const std::uint8_t position =
        isLetter ? letterPositions[static_cast<size_t>(key - Qt::Key_A)] : 0;
    if (!symbols)
        return position;
    std::uint8_t code = position;
    // A server with another keycode scheme leaves a letter's position empty; every other key is
    // found by what it types.
    if (!isLetter || xcb_key_symbols_get_keysym(symbols, position, 0) == XCB_NO_SYMBOL) {
        std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(
            xcb_key_symbols_get_keycode(symbols, keysym));
        code = codes && codes.get()[0] != XCB_NO_SYMBOL ? codes.get()[0] : 0;
    }
    xcb_key_symbols_free(symbols);
    return code;
}

bool X11GlobalHotkey::grab(Qt::Key key, Qt::KeyboardModifiers modifiers,
                           std::function<void()> onPress, QString* error)
{
    const std::uint8_t keycode = keycodeFor(key);
    if (keycode == 0) {
        if (error)
            *error = QCoreApplication::translate("X11GlobalHotkey",
                                                 "no key for the combination on this keyboard");
        return false;
    }
    const ModifierMasks masks = modifierMasks();
    std::uint16_t wanted = 0;
    if (modifiers & Qt::ShiftModifier)
        wanted |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        wanted |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        wanted |= masks.alt;
    if (modifiers & Qt::MetaModifier)
        wanted |= masks.super;

    if (!grabKey(keycode, wanted, error))
        return false;
    grabs_.push_back(Grab{key, modifiers, keycode, wanted, std::move(onPress)});
    return true;
}

void X11GlobalHotkey::release(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    for (auto it = grabs_.begin(); it != grabs_.end(); ++it) {
        if (it->key != key || it->wanted != modifiers)
            continue;
        for (std::uint16_t lock : lockCombinations())
            xcb_ungrab_key(connection_, it->keycode, root_,
                           static_cast<std::uint16_t>(it->modifiers | lock));
        xcb_flush(connection_);
        grabs_.erase(it);
        return;
    }
}

bool X11GlobalHotkey::grabKey(std::uint8_t keycode, std::uint16_t wanted, QString* error)
{
    const std::vector<std::uint16_t> locks = lockCombinations();
    // Not owner-events: a press is reported on the root window even while one of our own
    // windows has the focus, so the hot key also closes the popup.
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t lock : locks)
        cookies.push_back(xcb_grab_key_checked(connection_, 0, root_,
                                               static_cast<std::uint16_t>(wanted | lock), keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool taken = true;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (XcbReply<xcb_generic_error_t> failure{xcb_request_check(connection_, cookie)}) {
            taken = false;
            if (error)
                *error = failure->error_code == badAccess
                             ? QCoreApplication::translate("X11GlobalHotkey",
                                                           "another program holds the combination")
                             : QCoreApplication::translate("X11GlobalHotkey", "X error %1")
                                   .arg(failure->error_code);
        }
    }
    if (!taken) {
        for (std::uint16_t lock : locks)
            xcb_ungrab_key(connection_, keycode, root_, static_cast<std::uint16_t>(wanted | lock));
        xcb_flush(connection_);
        return false;
    }
    return true;
}

bool X11GlobalHotkey::isKeyDown(std::uint8_t keycode) const
{
    const XcbReply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr));
    return keymap && (keymap->keys[keycode / 8] & (1u << (keycode % 8))) != 0;
}

bool X11GlobalHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    const bool isMappingChange =
        type == XCB_MAPPING_NOTIFY ||
        (xkbFirstEvent_ != 0 && type == xkbFirstEvent_ &&
         (event->pad0 == xkbNewKeyboardNotify || event->pad0 == xkbMapNotify));
    if (isMappingChange && !grabs_.empty() && !isRegrabScheduled_) {
        // One change comes as a burst of notifications: taken anew once, after all of them.
        isRegrabScheduled_ = true;
        QTimer::singleShot(0, &heldPoll_, [this] { regrab(); });
    }
    if (type != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->event != root_)
        return false;
    const auto state = static_cast<std::uint16_t>(press->state & ~ignoredLocks_ & 0xff);
    for (const Grab& grab : grabs_) {
        if (grab.keycode == press->detail && grab.modifiers == state) {
            // The press made the server grab the keyboard for us until the key is let go, and
            // toolkits take that for a focus loss of the window in front; ending the grab now
            // gives that window its focus back before anyone asks where its caret is.
            xcb_ungrab_keyboard(connection_, press->time);
            xcb_flush(connection_);
            // Holding the keys repeats the press; one hold is one press, as a hot key should be.
            if (heldKeycode_ == press->detail)
                return true;
            heldKeycode_ = press->detail;
            seenUp_ = false;
            heldPoll_.start();
            if (grab.onPress)
                grab.onPress();
            return true;
        }
    }
    return false;
}

} // namespace quillstow::platform
