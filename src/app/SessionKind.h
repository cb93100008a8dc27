#pragma once

#include <QString>

namespace quillstow {

// The kind of desktop the program serves, which decides its platform backends.
enum class SessionKind
{
    x11,
    wayland,
    // No desktop of either kind (an offscreen or test platform): Qt's own clipboard, no windows
    // of other programs, no synthetic keys.
    none,
};

// What the environment says about the desktop, read before any application object exists.
struct SessionEnvironment
{
    QString qpaPlatform;    // QT_QPA_PLATFORM: the user's own choice of Qt platform
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString sessionType;    // XDG_SESSION_TYPE
    QString display;        // DISPLAY
    // The compositor's socket accepts a connection and Qt's wayland plugin is installed.
    bool waylandReachable = false;

    static SessionEnvironment current();
};

// The Qt platform plugin to start with.
struct PlatformChoice
{
    // Empty: leave it to Qt (the user named one).
    QString plugin;
    // False when neither a compositor nor an X server can be reached.
    bool usable = true;
};

PlatformChoice choosePlatform(const SessionEnvironment& environment);

// The session served, once Qt runs on `qtPlatform`. On a Wayland session the Wayland backends
// serve even when Qt itself went through XWayland: X11 sees other programs' clipboard and takes
// keys only while an X11 window has the focus.
SessionKind sessionKindFor(const QString& qtPlatform, const SessionEnvironment& environment);

// Said on the terminal when no desktop can be reached.
QString noDesktopMessage();

} // namespace quillstow
