#include "platform/Clipboard.h"

#include "platform/QtClipboard.h"
#include "platform/x11/X11Clipboard.h"

#include <QGuiApplication>
#include <memory>

namespace quillstow::platform {

Clipboard& systemClipboard()
{
    static Clipboard* const clipboard = []() -> Clipboard* {
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            if (std::unique_ptr<X11Clipboard> x11 = X11Clipboard::connect())
                return x11.release();
        }
        // Offscreen, and elsewhere until those desktops get a backend of their own.
        return new QtClipboard(*QGuiApplication::clipboard());
    }();
    return *clipboard;
}

} // namespace quillstow::platform
