#include "app/StartupNotice.h"

namespace quillstow {

QString startupNotice(bool trayAvailable, const QString& hotkeyFailure)
{
    const bool hotkey = hotkeyFailure.isEmpty();
    if (trayAvailable && hotkey)
        return {};
    const QString noTray = QStringLiteral("This desktop has no system tray, so Quillstow shows "
                                          "no icon. It keeps running.");
    const QString noHotkey =
        QStringLiteral("Super+Shift+V could not be taken: %1.").arg(hotkeyFailure);
    if (!trayAvailable && hotkey)
        return noTray + QStringLiteral(" Open the picker with Super+Shift+V or by running "
                                       "\"quillstow --show\".");
    if (trayAvailable)
        return noHotkey + QStringLiteral(" Open the picker from the tray icon or by running "
                                         "\"quillstow --show\".");
    return noTray + QLatin1Char(' ') + noHotkey +
           QStringLiteral(" Open the picker by running \"quillstow --show\", for example from a "
                          "key binding of your desktop.");
}

} // namespace quillstow
