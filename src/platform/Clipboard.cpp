#include "platform/Clipboard.h"

#include "platform/DBusNotifier.h"
#include "platform/DebugLog.h"
#include "platform/QtClipboard.h"
#include "platform/x11/X11Clipboard.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>

namespace quillstow::platform {

Clipboard& systemClipboard()
{
    static Clipboard* const clipboard = []() -> Clipboard* {
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            QString error;
            if (std::unique_ptr<X11Clipboard> x11 = X11Clipboard::connect({}, &error))
                return x11.release();
            // Qt's clipboard goes on working for our own copies, but may well miss other
            // programs' ones for the same reason; runs once, as this whole choice does.
            debuglog::write(QStringLiteral("Clipboard: cannot follow the X clipboard: ") + error);
            DBusNotifier(QStringLiteral("Quillstow"))
                .notify(QCoreApplication::translate("Clipboard",
                                                    "Quillstow cannot follow the clipboard"),
                        QCoreApplication::translate(
                            "Clipboard", "Copies made in other programs may not reach the history: "
                                         "%1.")
                            .arg(error));
        }
        // Offscreen, and elsewhere until those desktops get a backend of their own.
        return new QtClipboard(*QGuiApplication::clipboard());
    }();
    return *clipboard;
}

} // namespace quillstow::platform
