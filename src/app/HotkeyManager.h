#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace quillstow {

namespace platform {
class GlobalHotkey;
}

// The program's one system-wide shortcut, Super+Shift+V: each press calls `onActivate`.
class HotkeyManager
{
public:
    // `backend` may be null where the session offers no global shortcuts; then nothing is
    // registered and the tray icon remains the way in.
    explicit HotkeyManager(std::unique_ptr<platform::GlobalHotkey> backend);
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    static HotkeyManager& shared();

    // Called on the GUI thread for every press; may be replaced at any time.
    std::function<void()> onActivate;

    // Takes the combination once; a failure is logged and the program runs on without it.
    // Returns whether the hot key is in place.
    bool registerHotKey();
    // Why the last registerHotKey() failed, in words for the user; empty when it is in place or
    // was never tried.
    QString failure() const { return failure_; }

private:
    std::unique_ptr<platform::GlobalHotkey> backend_;
    bool registered_ = false;
    QString failure_;
};

} // namespace quillstow
