#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

// The user-defaults store: one INI file of Quillstow's own, private to the user.
namespace quillstow::platform {

// The program's settings (organisation and application "Quillstow").
QSettings& userSettings();

// Writes every pending change through to disk at once. The file and any folder created for it
// are readable by the user alone.
void syncPrivately(QSettings& settings);

// Writes `bytes` as the whole file at `path` in one atomic step, mode 0600.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace quillstow::platform
