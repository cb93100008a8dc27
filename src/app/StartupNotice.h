#pragma once

#include <QString>

namespace quillstow {

// What the user is told once at start-up when a way into the picker is missing: the tray icon
// (no system tray on this desktop) or the hot key `hotkey` (`hotkeyFailure` says why it could not
// be taken; empty when it is in place). Empty when both are there.
QString startupNotice(bool trayAvailable, const QString& hotkeyFailure, const QString& hotkey);

} // namespace quillstow
