#include "app/Backends.h"

#include "platform/DBusNotifier.h"
#include "platform/DebugLog.h"
#include "platform/Desktop.h"
#include "platform/QtClipboard.h"
#include "platform/QtClipboardWriter.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyInjector.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11GlobalHotkey.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11WindowHints.h"
#include "platform/x11/X11WindowSystem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace quillstow {

namespace {

// Qt's own connection to the X server, when Qt runs on one.
QNativeInterface::QX11Application* qtX11()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr && x11->connection() != nullptr ? x11 : nullptr;
}

platform::Clipboard* connectX11Clipboard(platform::Notifier& notifier)
{
    QString error;
    if (std::unique_ptr<platform::X11Clipboard> x11 = platform::X11Clipboard::connect({}, &error))
        return x11.release();
    // Qt's clipboard goes on working for our own copies, but may well miss other programs' ones
    // for the same reason.
    debuglog::write(QStringLiteral("Clipboard: cannot follow the X clipboard: ") + error);
    notifier.notify(
        QCoreApplication::translate("Clipboard", "Quillstow cannot follow the clipboard"),
        QCoreApplication::translate("Clipboard",
                                    "Copies made in other programs may not reach the history: %1.")
            .arg(error));
    return nullptr;
}

void useX11(Backends& backends, QNativeInterface::QX11Application& x11)
{
    xcb_connection_t* connection = x11.connection();
    backends.windows = std::make_shared<platform::X11WindowSystem>(connection, x11.display());
    backends.keys = std::make_shared<platform::X11KeyInjector>(connection);
    backends.hotkey = std::make_unique<platform::X11GlobalHotkey>(connection);
}

// The Wayland backends: each service where the compositor offers it; makeBackends' stand-ins
// elsewhere. Returns the data-control clipboard, null where the compositor offers none.
std::shared_ptr<platform::WaylandClipboard> useWayland(Backends& backends)
{
    // The hot key: a compositor binding runs `quillstow --toggle`; a global-shortcuts portal
    // where there is one.
    backends.hotkey = platform::createPortalGlobalHotkey();

    // One connection of our own serves every Wayland backend, whichever Qt platform runs.
    QString error;
    std::shared_ptr<platform::WaylandConnection> connection =
        platform::WaylandConnection::connect({}, &error);
    std::shared_ptr<platform::WaylandClipboard> clipboard;
    if (connection != nullptr) {
        QObject::connect(connection.get(), &platform::WaylandConnection::lost, connection.get(),
                         [notifier = backends.notifier](const QString& reason) {
                             notifier->notify(
                                 QStringLiteral("Quillstow"),
                                 QCoreApplication::translate("Backends",
                                                             "Quillstow lost its connection to the "
                                                             "compositor and no longer follows the "
                                                             "clipboard: %1")
                                     .arg(reason));
                         });
        // Qt asks its GPU buffer plugin whether it may draw window frames itself, which starts
        // the OpenGL driver (60 MB resident with Mesa's software renderer) at the first window,
        // though our windows are all drawn in memory. Where the compositor draws the frames, Qt
        // need not ask.
        if (QGuiApplication::platformName() == QLatin1String("wayland") &&
            connection->offeredVersion("zxdg_decoration_manager_v1") > 0)
            qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
        // Each finds out for itself what the compositor offers, and stands aside without it.
        backends.keys = std::make_shared<platform::WaylandKeyInjector>(connection);
        backends.windows = std::make_shared<platform::WaylandWindowSystem>(
            connection, platform::WaylandWindowSystem::applicationAppIds());
        clipboard = platform::WaylandClipboard::connect(connection, &error);
    }
    if (clipboard != nullptr) {
        // Data-control: copies are seen without focus, and our own go out without it.
        backends.clipboardWriter = clipboard;
        return clipboard;
    }
    // Qt's clipboard stays, which the compositor honours while one of our windows has the focus.
    debuglog::write(QStringLiteral("Clipboard: no data-control on this compositor: ") + error);
    backends.limitations.append(QCoreApplication::translate(
        "Backends", "On this Wayland desktop Quillstow sees copies made in other programs only "
                    "while one of its own windows has the focus."));
    return nullptr;
}

} // namespace

Backends makeBackends(SessionKind session)
{
    Backends backends;
    backends.session = session;
    backends.notifier = std::make_shared<platform::DBusNotifier>(QStringLiteral("Quillstow"));
    backends.clipboardWriter = std::make_shared<platform::QtClipboardWriter>();
    backends.windows = std::make_shared<platform::NoWindowSystem>();
    backends.keys = std::make_shared<platform::NoKeyInjector>();
    backends.keepOffTaskbarAndPager = [](QWidget&) {
    };

    QNativeInterface::QX11Application* x11 = qtX11();
    // Our own windows are X11 ones whenever Qt runs on an X server, XWayland included.
    if (x11 != nullptr) {
        backends.keepOffTaskbarAndPager = [connection = x11->connection()](QWidget& window) {
            platform::keepOffTaskbarAndPager(connection, window);
        };
    }
    std::shared_ptr<platform::WaylandClipboard> wayland;
    if (session == SessionKind::x11 && x11 != nullptr)
        useX11(backends, *x11);
    else if (session == SessionKind::wayland)
        wayland = useWayland(backends);

    const QString swaySocket = qEnvironmentVariable("SWAYSOCK");
    platform::DesktopPlacement placement = platform::makeDesktopPlacement(
        platform::placementKindFor(QGuiApplication::platformName(), swaySocket), swaySocket);
    backends.placer = std::move(placement.placer);
    backends.caret = std::move(placement.caret);

    // Lives as long as the program, as the capture that reads it does.
    std::shared_ptr<platform::Clipboard*> clipboard = std::make_shared<platform::Clipboard*>();
    backends.clipboard = [clipboard, session, notifier = backends.notifier,
                          wayland]() -> platform::Clipboard& {
        if (*clipboard == nullptr && session == SessionKind::x11)
            *clipboard = connectX11Clipboard(*notifier);
        if (*clipboard == nullptr && wayland != nullptr)
            *clipboard = wayland.get();
        // Offscreen, and wherever else no backend of our own serves: Qt's clipboard.
        if (*clipboard == nullptr)
            *clipboard = new platform::QtClipboard(*QGuiApplication::clipboard());
        return **clipboard;
    };
    return backends;
}

} // namespace quillstow
