#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;

namespace quillstow::platform {

// Our own connection to the Wayland compositor, apart from Qt's (which may be an X11 one, or
// none): its events are read from the event loop through a socket notifier, so the backends
// built on it work whichever Qt platform plugin runs.
//
// It knows the compositor's globals and binds the first seat. The compositor may go away or end
// the connection over a protocol error at any time: that is logged, `lost` is sent once, and
// from then on nothing is read or sent.
class WaylandConnection final : public QObject
{
    Q_OBJECT

public:
    // How long start-up waits for the compositor to list its globals.
    static constexpr std::chrono::milliseconds startTimeout{2000};

    struct Global
    {
        std::uint32_t name = 0;
        QByteArray interface;
        std::uint32_t version = 0;
    };

    // Connects to `socket` ($WAYLAND_DISPLAY when empty); nothing, with the reason in `error`,
    // when there is no compositor or it does not answer within `timeout`.
    static std::unique_ptr<WaylandConnection>
    connect(const QByteArray& socket = {}, QString* error = nullptr,
            std::chrono::milliseconds timeout = startTimeout);
    ~WaylandConnection() override;

    wl_display* display() const { return display_; }
    const std::vector<Global>& globals() const { return globals_; }
    // The version offered of `interface`, 0 when it is not offered.
    std::uint32_t offeredVersion(const char* interface) const;
    // Binds the first global of `interface`'s kind at the lower of its version and
    // `maxVersion`; null when it is not offered. The caller owns the proxy.
    void* bind(const wl_interface& interface, std::uint32_t maxVersion);
    // The first seat, null when the compositor has none.
    wl_seat* seat() const { return seat_; }

    // Sends what is queued; call after making requests.
    void flush();
    // Waits, up to `timeout`, until the compositor has handled every request sent so far,
    // dispatching the events that arrive meanwhile. False when it did not answer in time or
    // the connection is lost.
    bool roundtrip(std::chrono::milliseconds timeout);
    bool isLost() const { return isLost_; }

Q_SIGNALS:
    // The connection is gone; sent once. `reason` is plain words for the log and the user.
    void lost(const QString& reason);

private:
    explicit WaylandConnection(wl_display* display);
    void readEvents();
    // Marks the connection lost when libwayland reports an error on it; true when lost.
    bool checkError();

    static void registryGlobal(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version);
    static void registryGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::vector<Global> globals_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr; // while the socket is too full to take more
    bool isLost_ = false;
};

} // namespace quillstow::platform
