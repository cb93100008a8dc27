#pragma once

#include <QString>
#include <QStringList>

namespace quillstow {

// What one run of `quillstow` was asked to do. Read from the arguments alone, before any
// application object exists, so that --help works without a display and a launch that only
// talks to the running instance creates no window.
struct CommandLine
{
    enum class Action
    {
        Start,  // no option: start, or show the running instance's picker
        Show,   // --show: the picker at the caret, starting Quillstow if none runs
        Toggle, // --toggle: the picker at the caret, or closed if it is open
        Quit,   // --quit: end the running instance
        Exit,   // --help, --version or a mistake: print `output` and exit with `exitStatus`
    };

    // The status for a mistake in the arguments.
    static constexpr int usageError = 2;

    Action action = Action::Start;
    QString output;
    bool outputIsError = false;
    int exitStatus = 0;

    // `arguments` as in argv, the program first. Qt's own display options (-platform,
    // -display, -style ...) are accepted and left to the application object.
    static CommandLine parse(const QStringList& arguments);
};

} // namespace quillstow
