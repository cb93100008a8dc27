#pragma once

#include "platform/CaretQuery.h"

#include <QPoint>
#include <QRect>
#include <QStringView>
#include <memory>
#include <optional>

class QWidget;

namespace quillstow::platform {

// Puts a top-level window where it should appear, as far as the window system lets us.
class WindowPlacer
{
public:
    virtual ~WindowPlacer() = default;
    // Whether QCursor::pos() tells where the pointer is; on Wayland it does not.
    virtual bool knowsPointer() const = 0;
    // The rectangle of the output that has the keyboard focus; nothing when unknown (then the
    // primary screen stands in).
    virtual std::optional<QRect> focusedOutput() = 0;
    // Puts the window, not shown yet, with its top-left corner at `topLeft`. Where the window
    // system decides alone, the window stays where the window system puts it.
    virtual void place(QWidget& window, QPoint topLeft) = 0;
};

enum class PlacementKind
{
    Move,       // X11: the window moves itself
    Sway,       // sway: a rule over sway's IPC places the window before it maps
    Compositor, // another Wayland compositor: it alone decides
};

// From Qt's platform plugin ("xcb", "wayland", ...) and sway's socket ($SWAYSOCK, or empty).
PlacementKind placementKindFor(QStringView qtPlatform, const QString& swaySocket);

// How windows are placed and the caret is found on this desktop.
struct DesktopPlacement
{
    std::shared_ptr<WindowPlacer> placer;
    std::unique_ptr<CaretQuery> caret;
};
DesktopPlacement makeDesktopPlacement(PlacementKind kind, const QString& swaySocket);

} // namespace quillstow::platform
