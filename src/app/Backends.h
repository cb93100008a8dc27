#pragma once

#include "app/SessionKind.h"
#include "platform/Clipboard.h"
#include "platform/ClipboardWriter.h"
#include "platform/GlobalHotkey.h"
#include "platform/KeyInjector.h"
#include "platform/Notifier.h"
#include "platform/WindowPlacer.h"
#include "platform/WindowSystem.h"

#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace quillstow {

// The platform services of the desktop the program runs on. Chosen once, at start, by
// makeBackends(), and handed down from there: nothing else picks an implementation.
struct Backends
{
    SessionKind session = SessionKind::none;
    std::shared_ptr<platform::Notifier> notifier;
    // Connected at first use: the tray icon comes up before the capture starts.
    std::function<platform::Clipboard&()> clipboard;
    std::shared_ptr<platform::ClipboardWriter> clipboardWriter;
    std::shared_ptr<platform::WindowSystem> windows;
    std::shared_ptr<platform::KeyInjector> keys;
    // Null where the session offers no global shortcuts.
    std::unique_ptr<platform::GlobalHotkey> hotkey;
    // Keeps a window of ours out of the taskbar and the pager; call before it is first shown.
    std::function<void(QWidget&)> keepOffTaskbarAndPager;
    // Where the picker goes and how the caret is found: moved by itself on X11, placed by a
    // rule on sway, left to the compositor elsewhere.
    std::shared_ptr<platform::WindowPlacer> placer;
    std::unique_ptr<platform::CaretQuery> caret;
    // What this session cannot do, in plain words, to be told once after start.
    QStringList limitations;
};

// The backends for `session`. Needs the QGuiApplication.
Backends makeBackends(SessionKind session);

} // namespace quillstow
