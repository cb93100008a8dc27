#pragma once

#include <QKeyCombination>
#include <QProcessEnvironment>
#include <QString>

namespace quillstow {

// Where no hot key can be taken from inside the program (a Wayland compositor without the
// GlobalShortcuts portal), the user binds a key to `quillstow --toggle` in the compositor.
enum class Compositor
{
    Sway, // and the compositors reading sway's configuration
    Hyprland,
    Other,
};

// The compositor the session runs, from the variables it sets for its clients.
Compositor compositorOf(const QProcessEnvironment& environment);

// The command that opens the picker: `quillstow --toggle` when `quillstow` on PATH is this
// program, else with the program's full path.
QString toggleCommand();

// The line that binds `combination` to `command` in the compositor's configuration, in its own
// notation; empty for a compositor whose bindings are made in its settings instead.
QString bindingLine(Compositor compositor, QKeyCombination combination, const QString& command);

} // namespace quillstow
