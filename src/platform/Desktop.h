#pragma once

#include "platform/ClipboardWriter.h"
#include "platform/KeyInjector.h"
#include "platform/Notifier.h"
#include "platform/WindowSystem.h"

#include <memory>

// The implementations of the platform seam for the desktop session the program runs in, chosen
// from the session found at start-up (X11 now). Outside a desktop the window system knows no
// windows and synthetic input is unavailable.
namespace quillstow::platform {

std::shared_ptr<WindowSystem> createWindowSystem();
std::shared_ptr<KeyInjector> createKeyInjector();
std::shared_ptr<Notifier> createNotifier();
std::shared_ptr<ClipboardWriter> createClipboardWriter();

// Whether the paste can press keys in other applications; otherwise the user is asked to paste
// by hand.
bool isSyntheticInputAvailable();

} // namespace quillstow::platform
