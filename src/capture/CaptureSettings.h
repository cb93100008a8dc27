#pragma once

#include <QSettings>
#include <QString>

// The user's choices about what is captured, read where they are needed so that a change in
// the settings window applies at once.
namespace quillstow::capture {

inline const QString keepClipboardKey = QStringLiteral("keep_clipboard");
inline const QString capturePrimaryKey = QStringLiteral("capture_primary");

// The clipboard outlives the program that copied; on unless the user turned it off.
inline bool keepsClipboard(const QSettings& defaults)
{
    return defaults.value(keepClipboardKey, true).toBool();
}

// Text selected with the mouse is captured too; off unless the user turned it on.
inline bool capturesPrimary(const QSettings& defaults)
{
    return defaults.value(capturePrimaryKey, false).toBool();
}

} // namespace quillstow::capture
