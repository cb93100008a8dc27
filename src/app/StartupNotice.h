#pragma once

#include <QString>

namespace quillstow {

// What the user is told once at start-up when a way into the picker is missing: the tray icon
// (no system tray on this desktop) or the hot key `hotkey` (`hotkeyFailure` says why it could not
// be taken; empty when it is in place). Empty when both are there.
// Where the hot key is the user's own compositor binding, `toggleCommand` is the command to bind
// and `bindingLine` the line for the compositor's configuration (empty where there is none); the
// hot key is then not the program's to take, and only a missing tray is worth a word.
QString startupNotice(bool trayAvailable, const QString& hotkeyFailure, const QString& hotkey,
                      const QString& toggleCommand = {}, const QString& bindingLine = {});

} // namespace quillstow
