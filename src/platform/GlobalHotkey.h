#pragma once

#include <QString>
#include <Qt>
#include <functional>

namespace quillstow::platform {

// A system-wide key combination delivered to this program, whichever window is in front, and
// withheld from that window.
class GlobalHotkey
{
public:
    virtual ~GlobalHotkey() = default;

    // Takes `key` with exactly `modifiers` (Qt::MetaModifier is the Super key). A letter names
    // the key at that letter's position on a U.S. keyboard, so that the combination stays in
    // place on other layouts; any other key is the one that types it. `onPress` runs on the GUI
    // thread for each press. Returns false, with a reason, when the combination cannot be taken
    // (for example because another program holds it).
    virtual bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> onPress,
                      QString* error) = 0;
    // Gives up a combination taken by grab(); nothing happens when it was not taken.
    virtual void release(Qt::Key key, Qt::KeyboardModifiers modifiers) = 0;
};

} // namespace quillstow::platform
