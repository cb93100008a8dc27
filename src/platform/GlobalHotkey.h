#pragma once

#include <QString>
#include <Qt>
#include <functional>

namespace quillstow::platform {

// How the system-wide shortcut reaches the program.
enum class HotkeyMechanism
{
    KeyGrab,           // the program grabs the key from the window system itself (X11)
    Portal,            // the desktop's GlobalShortcuts portal delivers it
    CompositorBinding, // none: the user binds a key to `quillstow --toggle` in the compositor
};

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
    virtual HotkeyMechanism mechanism() const { return HotkeyMechanism::KeyGrab; }

    // Where grab() only starts a request that the desktop answers later, a refusal arrives here,
    // with the reason in words for the user.
    std::function<void(const QString& reason)> onLateFailure;
};

// The desktop's GlobalShortcuts portal (KDE Plasma, GNOME 48 and later), or none where no portal
// offering it runs on the session bus. Asks the bus with a short time limit.
std::unique_ptr<GlobalHotkey> createPortalGlobalHotkey();

} // namespace quillstow::platform
