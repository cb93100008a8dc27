#pragma once

#include "platform/WindowSystem.h"

#include <QStringList>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

struct wl_array;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace quillstow::platform {

class WaylandConnection;

// The compositor's list of toplevel windows (wlroots' foreign-toplevel protocol): their app_id,
// title and which one is activated, kept current from its events; activation is asked of the
// compositor for our seat. Without the protocol no window is ever known: the paste then only puts
// the text on the clipboard.
class WaylandWindowSystem final : public WindowSystem
{
public:
    // How long activeWindow waits for the compositor to catch up.
    static constexpr std::chrono::milliseconds syncTimeout{100};

    // `ownAppIds` are the app_ids our own windows carry (compared ignoring case): those are
    // never the active window.
    WaylandWindowSystem(std::shared_ptr<WaylandConnection> connection, QStringList ownAppIds);
    ~WaylandWindowSystem() override;
    WaylandWindowSystem(const WaylandWindowSystem&) = delete;
    WaylandWindowSystem& operator=(const WaylandWindowSystem&) = delete;

    bool isAvailable() const { return manager_ != nullptr; }
    std::optional<WindowRef> activeWindow() override;
    void activate(const WindowRef& window) override;

    // The app_ids Qt gives this program's windows, under Wayland and under XWayland.
    static QStringList applicationAppIds();

private:
    struct Toplevel
    {
        quint64 id = 0;
        QString appId;
        QString title;
        bool activated = false;
        // Changes take effect together, at `done`.
        QString pendingAppId;
        QString pendingTitle;
        bool pendingActivated = false;
        quint64 activatedAt = 0; // when it last became activated, in our own count
    };

    bool isOurs(const Toplevel& toplevel) const;
    Toplevel* find(zwlr_foreign_toplevel_handle_v1* handle);

    static void managerToplevel(void* data, zwlr_foreign_toplevel_manager_v1* manager,
                                zwlr_foreign_toplevel_handle_v1* handle);
    static void managerFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager);
    static void handleTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title);
    static void handleAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId);
    static void handleState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* state);
    static void handleDone(void* data, zwlr_foreign_toplevel_handle_v1* handle);
    static void handleClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle);

    std::shared_ptr<WaylandConnection> connection_;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    QStringList ownAppIds_;
    std::map<zwlr_foreign_toplevel_handle_v1*, Toplevel> toplevels_;
    quint64 lastId_ = 0;
    quint64 activations_ = 0;
};

} // namespace quillstow::platform
