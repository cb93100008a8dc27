#pragma once

#include "platform/WindowFrame.h"

#include <optional>

namespace quillstow::platform::x11 {

using ActiveWindowFrame = WindowFrame;

// The window the window manager reports as active; nothing when there is no X display, no
// active window, or it vanished meanwhile. Asks only the X server, never the window's owner.
std::optional<ActiveWindowFrame> activeWindowFrame();

} // namespace quillstow::platform::x11
