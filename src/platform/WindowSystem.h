#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace quillstow::platform {

// A top-level window of some application, as the window manager knows it: enough to bring it
// forward again and to tell what kind of program it is.
struct WindowRef
{
    // Meaningful only to the window system that gave it (an X window id, a toplevel handle of
    // the compositor); 0 for none.
    quint64 handle = 0;
    // The application's class: WM_CLASS's class on X11 ("XTerm", "Zenity"), the app_id on
    // Wayland ("foot", "org.gnome.Terminal").
    QString appClass;
    QString name;   // the application's user-visible name
    qint64 pid = 0; // 0 when unknown

    friend bool operator==(const WindowRef&, const WindowRef&) = default;
};

// The window manager's view of the desktop.
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;
    // The window in front now, if any.
    virtual std::optional<WindowRef> activeWindow() = 0;
    // Asks the window manager to bring `window` forward and give it the keyboard.
    virtual void activate(const WindowRef& window) = 0;
};

} // namespace quillstow::platform
