#include "app/StartupNotice.h"

#include <QCoreApplication>

namespace quillstow {

QString startupNotice(bool trayAvailable, const QString& hotkeyFailure, const QString& hotkey,
                      const QString& toggleCommand, const QString& bindingLine)
{
    const bool byCompositor = !toggleCommand.isEmpty();
    const bool hotkeyTaken = hotkeyFailure.isEmpty() || byCompositor;
    if (trayAvailable && hotkeyTaken)
        return {};
    const QString noTray = QCoreApplication::translate(
        "StartupNotice", "This desktop has no system tray, so Quillstow shows no icon. It keeps "
                         "running.");
    if (byCompositor && !bindingLine.isEmpty())
        return noTray + u' ' +
               QCoreApplication::translate("StartupNotice",
                                           "Open the picker by running \"%1\", for example with "
                                           "this line in your compositor's configuration: %2")
                   .arg(toggleCommand, bindingLine);
    if (byCompositor)
        return noTray + u' ' +
               QCoreApplication::translate("StartupNotice",
                                           "Open the picker by running \"%1\", for example from "
                                           "a key binding of your desktop.")
                   .arg(toggleCommand);
    const QString noHotkey =
        QCoreApplication::translate("StartupNotice", "%1 could not be taken: %2.")
            .arg(hotkey, hotkeyFailure);
    if (!trayAvailable && hotkeyTaken)
        return noTray + u' ' +
               QCoreApplication::translate("StartupNotice", "Open the picker with %1 or by running "
                                                            "\"quillstow --show\".")
                   .arg(hotkey);
    if (trayAvailable)
        return noHotkey + u' ' +
               QCoreApplication::translate("StartupNotice",
                                           "Open the picker from the tray icon or by running "
                                           "\"quillstow --show\".");
    return noTray + u' ' + noHotkey + u' ' +
           QCoreApplication::translate("StartupNotice",
                                       "Open the picker by running \"quillstow --show\", for "
                                       "example from a key binding of your desktop.");
}

} // namespace quillstow
