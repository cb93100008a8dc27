#pragma once

#include "platform/WindowPlacer.h"

namespace quillstow::platform::sway {

class SwayIpc;

// Places windows on sway: a for_window rule sent before the window maps puts it there at once,
// floating and without a border, with no jump.
class SwayPlacer final : public WindowPlacer
{
public:
    explicit SwayPlacer(std::shared_ptr<SwayIpc> ipc);

    bool knowsPointer() const override { return false; }
    std::optional<QRect> focusedOutput() override;
    void place(QWidget& window, QPoint topLeft) override;

private:
    std::shared_ptr<SwayIpc> ipc_;
};

} // namespace quillstow::platform::sway
