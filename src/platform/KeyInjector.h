#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace quillstow::platform {

// The few keys the paste presses, named by what they mean; the backend finds them on the current
// keyboard map, whatever the layout.
enum class Key
{
    Control,
    Shift,
    V,
    Insert,
    RightArrow
};

// The keysyms that stand for a key, preferred first (X11's numbering, which xkbcommon shares).
std::vector<std::uint32_t> keysymsOf(Key key);

// Keys pressed together: down in this order, up in the reverse order.
using KeyChord = std::vector<Key>;

// Synthetic keyboard input into whichever window has the keyboard.
class KeyInjector
{
public:
    virtual ~KeyInjector() = default;
    // Whether synthetic input is possible here at all. Nothing else may be called when it is not.
    virtual bool isAvailable() = 0;
    // Whether the user is physically holding any modifier key (Shift, Control, Alt, Super, ...).
    virtual bool isModifierHeld() = 0;
    // Where that cannot be known (false above says nothing), how long to give the user's hands
    // before the keys instead; zero where it can.
    virtual std::chrono::milliseconds settleDelay() const { return std::chrono::milliseconds{0}; }
    // Lets go, synthetically, of every modifier key that is down.
    virtual void releaseModifiers() = 0;
    // Presses the chord's keys down. Returns false, having sent nothing, when a key is missing
    // from the keyboard map.
    virtual bool press(const KeyChord& chord) = 0;
    // Lets go of a chord pressed before.
    virtual void release(const KeyChord& chord) = 0;
};

} // namespace quillstow::platform
