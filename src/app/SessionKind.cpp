#include "app/SessionKind.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillstow {

namespace {

bool isWaylandSession(const SessionEnvironment& environment)
{
    return !environment.waylandDisplay.isEmpty() ||
           environment.sessionType == QLatin1String("wayland");
}

// A local socket connects or fails at once: no wait on a compositor that hangs.
bool socketAccepts(const QByteArray& path)
{
    sockaddr_un address{};
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

bool waylandPluginInstalled()
{
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

} // namespace

SessionEnvironment SessionEnvironment::current()
{
    SessionEnvironment environment{
        qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("WAYLAND_DISPLAY"),
        qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("DISPLAY"), false};
    if (environment.qpaPlatform.isEmpty() && isWaylandSession(environment)) {
        // As libwayland finds it: a name relative to the runtime folder, or a path.
        const QString name = environment.waylandDisplay.isEmpty() ? QStringLiteral("wayland-0")
                                                                  : environment.waylandDisplay;
        const QString path = QDir::isAbsolutePath(name)
                                 ? name
                                 : qEnvironmentVariable("XDG_RUNTIME_DIR") + u'/' + name;
        environment.waylandReachable =
            socketAccepts(QFile::encodeName(path)) && waylandPluginInstalled();
    }
    return environment;
}

PlatformChoice choosePlatform(const SessionEnvironment& environment)
{
    if (!environment.qpaPlatform.isEmpty())
        return {};
    if (isWaylandSession(environment) && environment.waylandReachable)
        return {QStringLiteral("wayland"), true};
    if (!environment.display.isEmpty())
        return {QStringLiteral("xcb"), true};
    return {{}, false};
}

SessionKind sessionKindFor(const QString& qtPlatform, const SessionEnvironment& environment)
{
    if (qtPlatform.startsWith(QLatin1String("wayland")))
        return SessionKind::wayland;
    if (qtPlatform != QLatin1String("xcb"))
        return SessionKind::none;
    // XWayland: the compositor's session, unless the user's session says X11 (a nested
    // compositor inside an X11 desktop).
    if (!environment.waylandDisplay.isEmpty() && environment.sessionType != QLatin1String("x11"))
        return SessionKind::wayland;
    return SessionKind::x11;
}

QString noDesktopMessage()
{
    return QCoreApplication::translate(
        "main", "Quillstow found no desktop to run on: no Wayland compositor answers at "
                "WAYLAND_DISPLAY and DISPLAY names no X server.");
}

} // namespace quillstow
