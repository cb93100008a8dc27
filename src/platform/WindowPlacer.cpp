#include "platform/WindowPlacer.h"

#include "platform/atspi/AtspiCaretQuery.h"
#include "platform/sway/SwayIpc.h"
#include "platform/sway/SwayPlacer.h"
#include "platform/sway/SwayTree.h"

#include <QWidget>

namespace quillstow::platform {

namespace {

class MovePlacer final : public WindowPlacer
{
public:
    bool knowsPointer() const override { return true; }
    std::optional<QRect> focusedOutput() override { return std::nullopt; }
    void place(QWidget& window, QPoint topLeft) override { window.move(topLeft); }
};

// Qt 6.4 cannot position a top-level on Wayland; the compositor puts it where it likes, mostly
// in the middle of the output with the focus.
class CompositorPlacer final : public WindowPlacer
{
public:
    bool knowsPointer() const override { return false; }
    std::optional<QRect> focusedOutput() override { return std::nullopt; }
    void place(QWidget&, QPoint) override {}
};

} // namespace

PlacementKind placementKindFor(QStringView qtPlatform, const QString& swaySocket)
{
    if (!qtPlatform.startsWith(u"wayland"))
        return PlacementKind::Move;
    return swaySocket.isEmpty() ? PlacementKind::Compositor : PlacementKind::Sway;
}

DesktopPlacement makeDesktopPlacement(PlacementKind kind, const QString& swaySocket)
{
    switch (kind) {
    case PlacementKind::Move:
        return {std::make_shared<MovePlacer>(), std::make_unique<AtspiCaretQuery>()};
    case PlacementKind::Sway: {
        auto ipc = std::make_shared<sway::SwayIpc>(swaySocket);
        AtspiCaretQuery::FrontWindow front{[ipc]() -> std::optional<WindowFrame> {
                                               const auto tree = ipc->tree();
                                               return tree ? sway::focusedWindow(*tree)
                                                           : std::nullopt;
                                           },
                                           true};
        return {std::make_shared<sway::SwayPlacer>(ipc),
                std::make_unique<AtspiCaretQuery>(std::move(front))};
    }
    case PlacementKind::Compositor:
        // Toolkits give the caret relative to their window, whose position nobody tells.
        return {std::make_shared<CompositorPlacer>(),
                std::make_unique<AtspiCaretQuery>(AtspiCaretQuery::FrontWindow{{}, true})};
    }
    return {};
}

} // namespace quillstow::platform
