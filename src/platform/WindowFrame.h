#pragma once

#include <QPoint>
#include <QtGlobal>

namespace quillstow::platform {

// What the caret lookup needs to know about the window in front.
struct WindowFrame
{
    quint32 pid = 0; // 0 when the window does not name its process
    // Where the window's own drawing starts on the screen: its position, less the client-side
    // shadow that GTK draws around it.
    QPoint contentOrigin;

    friend bool operator==(const WindowFrame&, const WindowFrame&) = default;
};

} // namespace quillstow::platform
