#include "platform/wayland/WaylandConnection.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

namespace quillstow::platform {

namespace {

// The highest seat version whose requests and events this program knows.
constexpr std::uint32_t maxSeatVersion = 7;

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect(const QByteArray& socket,
                                                              QString* error,
                                                              std::chrono::milliseconds timeout)
{
    wl_display* display = wl_display_connect(socket.isEmpty() ? nullptr : socket.constData());
    if (!display) {
        if (error)
            *error = QCoreApplication::translate("WaylandConnection",
                                                 "no connection to the Wayland compositor");
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // Twice: the first answer lists the globals, the second one the events of what was bound
    // while they were listed.
    if (!connection->roundtrip(timeout) || !connection->roundtrip(timeout)) {
        if (error)
            *error = QCoreApplication::translate(
                         "WaylandConnection", "the Wayland compositor did not answer within %1 ms")
                         .arg(timeout.count());
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display)
{
    static const wl_registry_listener registryListener = {&WaylandConnection::registryGlobal,
                                                          &WaylandConnection::registryGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);

    const int fd = wl_display_get_fd(display_);
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    QObject::connect(readNotifier_, &QSocketNotifier::activated, this,
                     &WaylandConnection::readEvents);
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, this, &WaylandConnection::flush);
}

WaylandConnection::~WaylandConnection()
{
    delete readNotifier_;
    delete writeNotifier_;
    if (seat_)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(seat_));
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

void WaylandConnection::registryGlobal(void* data, wl_registry* registry, std::uint32_t name,
                                       const char* interface, std::uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    self->globals_.push_back({name, QByteArray(interface), version});
    if (!self->seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {
        const std::uint32_t bound = std::min(
            {version, maxSeatVersion, static_cast<std::uint32_t>(wl_seat_interface.version)});
        self->seat_ =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound));
    }
}

void WaylandConnection::registryGlobalRemove(void* data, wl_registry*, std::uint32_t name)
{
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->globals_, [name](const Global& g) { return g.name == name; });
}

std::uint32_t WaylandConnection::offeredVersion(const char* interface) const
{
    for (const Global& global : globals_) {
        if (global.interface == interface)
            return global.version;
    }
    return 0;
}

void* WaylandConnection::bind(const wl_interface& interface, std::uint32_t maxVersion)
{
    for (const Global& global : globals_) {
        if (global.interface != interface.name)
            continue;
        const std::uint32_t version =
            std::min({global.version, maxVersion, static_cast<std::uint32_t>(interface.version)});
        void* proxy = wl_registry_bind(registry_, global.name, &interface, version);
        flush();
        return proxy;
    }
    return nullptr;
}

void WaylandConnection::flush()
{
    if (isLost_)
        return;
    if (wl_display_flush(display_) >= 0) {
        writeNotifier_->setEnabled(false);
        return;
    }
    if (errno == EAGAIN) { // the rest goes when the socket has room again
        writeNotifier_->setEnabled(true);
        return;
    }
    if (!checkError())
        readEvents(); // the socket is closed: reading tells how
}

void WaylandConnection::readEvents()
{
    if (isLost_)
        return;
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkError();
            return;
        }
    }
    // Never blocks: the socket is read without waiting, and an empty one is no error.
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
        checkError();
        return;
    }
    flush();
}

bool WaylandConnection::roundtrip(std::chrono::milliseconds timeout)
{
    if (isLost_)
        return false;
    bool isDone = false;
    static const wl_callback_listener doneListener = {[](void* data, wl_callback*, std::uint32_t) {
        *static_cast<bool*>(data) = true;
    }};
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &doneListener, &isDone);
    const QDeadlineTimer deadline(timeout);
    while (!isDone && !isLost_) {
        if (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0)
                checkError();
            continue;
        }
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            checkError();
            break;
        }
        pollfd socket = {wl_display_get_fd(display_), POLLIN, 0};
        const int ready = poll(&socket, 1, static_cast<int>(deadline.remainingTime()));
        if (ready <= 0) {
            wl_display_cancel_read(display_);
            if (ready < 0 && errno == EINTR)
                continue;
            break;
        }
        if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0)
            checkError();
    }
    wl_callback_destroy(callback);
    flush();
    return isDone;
}

bool WaylandConnection::checkError()
{
    if (isLost_)
        return true;
    const int error = wl_display_get_error(display_);
    if (error == 0 && errno != EPIPE && errno != ECONNRESET)
        return false;
    isLost_ = true;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    QString reason;
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
        debuglog::write(QStringLiteral("WaylandConnection: the compositor ended the connection "
                                       "over a protocol error %1 on %2")
                            .arg(code)
                            .arg(QString::fromLatin1(interface ? interface->name : "?")));
        reason = QCoreApplication::translate(
            "WaylandConnection", "the Wayland compositor ended the connection over an error");
    } else {
        const int cause = error != 0 ? error : errno;
        debuglog::write(QStringLiteral("WaylandConnection: the connection to the compositor "
                                       "broke: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(cause))));
        reason = QCoreApplication::translate("WaylandConnection",
                                             "the connection to the Wayland compositor broke");
    }
    // Later: whoever hears of it may delete this connection, which is still dispatching.
    QMetaObject::invokeMethod(
        this, [this, reason] { Q_EMIT lost(reason); }, Qt::QueuedConnection);
    return true;
}

} // namespace quillstow::platform
