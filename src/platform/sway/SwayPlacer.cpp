#include "platform/sway/SwayPlacer.h"

#include "platform/sway/SwayIpc.h"
#include "platform/sway/SwayTree.h"

#include <QGuiApplication>
#include <QWidget>

namespace quillstow::platform::sway {

SwayPlacer::SwayPlacer(std::shared_ptr<SwayIpc> ipc) : ipc_(std::move(ipc)) {}

std::optional<QRect> SwayPlacer::focusedOutput()
{
    const auto tree = ipc_->tree();
    return tree ? sway::focusedOutput(*tree) : std::nullopt;
}

void SwayPlacer::place(QWidget& window, QPoint topLeft)
{
    // Qt names the window after the desktop file, as its app_id.
    QString appId = QGuiApplication::desktopFileName();
    if (appId.endsWith(QLatin1String(".desktop")))
        appId.chop(8);
    const QPoint at = gridPosition(topLeft);
    // The title is what the rule matches: set before the window exists, so sway sees it at map.
    window.setWindowTitle(placementTitle(at));
    ipc_->runCommand(placementRule(appId, at));
}

} // namespace quillstow::platform::sway
