#pragma once

#include "platform/GlobalHotkey.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace quillstow::platform {

// XGrabKey on the root window. The combination is grabbed also with CapsLock and NumLock on, so
// that neither disables it; presses arrive through Qt's own X connection. A change of the
// keyboard's mapping (xmodmap, setxkbmap, a new keyboard) may move Super, Alt or NumLock to
// another modifier bit, so every grab is taken anew after one.
class X11GlobalHotkey : public GlobalHotkey, public QAbstractNativeEventFilter
{
public:
    explicit X11GlobalHotkey(xcb_connection_t* connection);
    ~X11GlobalHotkey() override;
    X11GlobalHotkey(const X11GlobalHotkey&) = delete;
    X11GlobalHotkey& operator=(const X11GlobalHotkey&) = delete;

    bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> onPress,
              QString* error) override;
    void release(Qt::Key key, Qt::KeyboardModifiers modifiers) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab
    {
        Qt::Key key;
        Qt::KeyboardModifiers wanted;
        std::uint8_t keycode;
        std::uint16_t modifiers; // without the lock modifiers
        std::function<void()> onPress;
    };
    struct ModifierMasks
    {
        std::uint16_t super = 0;
        std::uint16_t alt = 0;
        std::uint16_t numLock = 0;
        std::uint16_t scrollLock = 0;
    };

    ModifierMasks modifierMasks() const;
    // Takes `key` with `modifiers` in every lock combination; false, with the reason, when the
    // server refuses any of them.
    bool grabKey(std::uint8_t keycode, std::uint16_t modifiers, QString* error);
    void ungrabAll();
    void followMapping();
    void regrab();
    std::uint8_t keycodeFor(Qt::Key key) const;
    // CapsLock and NumLock in every on/off combination.
    std::vector<std::uint16_t> lockCombinations() const;
    bool isKeyDown(std::uint8_t keycode) const;

    xcb_connection_t* connection_;
    std::uint32_t root_ = 0;
    std::uint16_t numLock_ = 0;
    std::uint16_t ignoredLocks_ = 0;
    std::uint8_t xkbFirstEvent_ = 0; // 0 without the XKEYBOARD extension
    bool isRegrabScheduled_ = false;
    std::vector<Grab> grabs_;
    // The grabbed key of the last press while it is still held down, else 0.
    std::uint8_t heldKeycode_ = 0;
    bool seenUp_ = false;
    QTimer heldPoll_;
};

} // namespace quillstow::platform
