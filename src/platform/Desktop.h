#pragma once

#include "platform/KeyInjector.h"
#include "platform/WindowSystem.h"

// What stands in where the session offers no such service: the window system knows no windows
// and synthetic input is unavailable.
namespace quillstow::platform {

class NoWindowSystem : public WindowSystem
{
public:
    std::optional<WindowRef> activeWindow() override { return std::nullopt; }
    void activate(const WindowRef&) override {}
};

class NoKeyInjector : public KeyInjector
{
public:
    bool isAvailable() override { return false; }
    bool isModifierHeld() override { return false; }
    void releaseModifiers() override {}
    bool press(const KeyChord&) override { return false; }
    void release(const KeyChord&) override {}
};

} // namespace quillstow::platform
