#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillstow::platform {

// Whether the accessibility bus can be reached, found where libatspi looks for it: the
// AT_SPI_BUS_ADDRESS variable, the AT_SPI_BUS property of the X root window, or the session
// bus's org.a11y.Bus service. Every wait is bounded by `timeoutMs` (libatspi's own lookup is
// not). Returns why not when it cannot be reached, nothing when it answers.
std::optional<QString> accessibilityBusProblem(int timeoutMs);

} // namespace quillstow::platform
