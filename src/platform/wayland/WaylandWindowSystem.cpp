#include "platform/wayland/WaylandWindowSystem.h"

#include "platform/DebugLog.h"
#include "platform/wayland/WaylandConnection.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <utility>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

namespace quillstow::platform {

WaylandWindowSystem::WaylandWindowSystem(std::shared_ptr<WaylandConnection> connection,
                                         QStringList ownAppIds)
    : connection_(std::move(connection)), ownAppIds_(std::move(ownAppIds))
{
    manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection_->bind(zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!manager_) {
        debuglog::write(QStringLiteral("WaylandWindowSystem: the compositor does not list its "
                                       "windows; a paste cannot bring the previous one back"));
        return;
    }
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {
        &WaylandWindowSystem::managerToplevel, &WaylandWindowSystem::managerFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &listener, this);
    // The windows open now arrive at once, each with its state.
    connection_->roundtrip(syncTimeout);
}

WaylandWindowSystem::~WaylandWindowSystem()
{
    for (const auto& [handle, toplevel] : toplevels_)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    if (manager_) {
        zwlr_foreign_toplevel_manager_v1_stop(manager_);
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    }
    connection_->flush();
}

QStringList WaylandWindowSystem::applicationAppIds()
{
    QStringList ids;
    QString desktopFile = QGuiApplication::desktopFileName();
    if (desktopFile.endsWith(QStringLiteral(".desktop")))
        desktopFile.chop(8);
    const QFileInfo program(QCoreApplication::applicationFilePath());
    for (const QString& id : {desktopFile, program.fileName(), QCoreApplication::applicationName()})
        if (!id.isEmpty())
            ids.append(id);
    return ids;
}

bool WaylandWindowSystem::isOurs(const Toplevel& toplevel) const
{
    return ownAppIds_.contains(toplevel.appId, Qt::CaseInsensitive);
}

WaylandWindowSystem::Toplevel* WaylandWindowSystem::find(zwlr_foreign_toplevel_handle_v1* handle)
{
    const auto found = toplevels_.find(handle);
    return found != toplevels_.end() ? &found->second : nullptr;
}

std::optional<WindowRef> WaylandWindowSystem::activeWindow()
{
    if (!manager_ || connection_->isLost())
        return std::nullopt;
    // Focus may have moved a moment ago: let the compositor's news arrive first.
    connection_->roundtrip(syncTimeout);
    const Toplevel* active = nullptr;
    for (const auto& [handle, toplevel] : toplevels_) {
        if (toplevel.activated && !isOurs(toplevel) &&
            (!active || toplevel.activatedAt > active->activatedAt))
            active = &toplevel;
    }
    if (!active)
        return std::nullopt;
    WindowRef ref;
    ref.handle = active->id;
    ref.appClass = active->appId;
    ref.name = active->title;
    return ref;
}

void WaylandWindowSystem::activate(const WindowRef& window)
{
    if (!manager_ || connection_->isLost() || !connection_->seat())
        return;
    for (const auto& [handle, toplevel] : toplevels_) {
        if (toplevel.id == window.handle) {
            zwlr_foreign_toplevel_handle_v1_activate(handle, connection_->seat());
            connection_->flush();
            return;
        }
    }
    // Closed meanwhile: the keys go to whatever is in front.
    debuglog::write(QStringLiteral("WaylandWindowSystem: the window to bring back has closed"));
}

void WaylandWindowSystem::managerToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                          zwlr_foreign_toplevel_handle_v1* handle)
{
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        &WaylandWindowSystem::handleTitle,
        &WaylandWindowSystem::handleAppId,
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        &WaylandWindowSystem::handleState,
        &WaylandWindowSystem::handleDone,
        &WaylandWindowSystem::handleClosed,
        [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {
        }};
    auto* self = static_cast<WaylandWindowSystem*>(data);
    self->toplevels_[handle].id = ++self->lastId_;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, self);
}

void WaylandWindowSystem::managerFinished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
{
    auto* self = static_cast<WaylandWindowSystem*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    self->manager_ = nullptr;
    debuglog::write(QStringLiteral("WaylandWindowSystem: the compositor stopped listing windows"));
}

void WaylandWindowSystem::handleTitle(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                      const char* title)
{
    if (Toplevel* toplevel = static_cast<WaylandWindowSystem*>(data)->find(handle))
        toplevel->pendingTitle = QString::fromUtf8(title);
}

void WaylandWindowSystem::handleAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                      const char* appId)
{
    if (Toplevel* toplevel = static_cast<WaylandWindowSystem*>(data)->find(handle))
        toplevel->pendingAppId = QString::fromUtf8(appId);
}

void WaylandWindowSystem::handleState(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                                      wl_array* state)
{
    Toplevel* toplevel = static_cast<WaylandWindowSystem*>(data)->find(handle);
    if (!toplevel)
        return;
    toplevel->pendingActivated = false;
    const auto* entries = static_cast<const std::uint32_t*>(state->data);
    for (std::size_t i = 0; i < state->size / sizeof(std::uint32_t); ++i) {
        if (entries[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
            toplevel->pendingActivated = true;
    }
}

void WaylandWindowSystem::handleDone(void* data, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandWindowSystem*>(data);
    Toplevel* toplevel = self->find(handle);
    if (!toplevel)
        return;
    if (toplevel->pendingActivated && !toplevel->activated)
        toplevel->activatedAt = ++self->activations_;
    toplevel->appId = toplevel->pendingAppId;
    toplevel->title = toplevel->pendingTitle;
    toplevel->activated = toplevel->pendingActivated;
}

void WaylandWindowSystem::handleClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WaylandWindowSystem*>(data);
    self->toplevels_.erase(handle);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

} // namespace quillstow::platform
