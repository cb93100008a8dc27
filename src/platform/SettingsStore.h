#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

// The user-defaults store: one INI file of Quillstow's own, private to the user.
namespace quillstow::platform {

// The program's settings: ~/.config/Quillstow/Quillstow.conf, or, when that path holds something
// that cannot be read or must not be replaced, a copy in memory for this run.
QSettings& userSettings();
// What is wrong with the settings file, in words for the user; empty when it is in use.
QString userSettingsProblem();

// The INI format with a writer that checks every byte: a short write (a full disk) leaves the
// old file in place and fails the sync instead of replacing it with a truncated one.
QSettings::Format checkedIniFormat();

// Why the file at `path` must not be handed to QSettings: a FIFO would block the reader for
// good, a folder or a link to nothing can never be written, and a file that cannot be read or
// parsed would be replaced by an empty one. Nothing when it is absent or a readable INI file.
std::optional<QString> settingsFileProblem(const QString& path);

// `path` in the checked format when it is usable; otherwise a store in memory and the reason.
std::unique_ptr<QSettings> openSettings(const QString& path, QString* problem = nullptr);

// Writes every pending change through to disk at once. The file and any folder created for it
// are readable by the user alone. A failure is logged and reported to the failure handler, once
// per run; the change stays pending for the next sync. Returns whether it reached the disk.
bool syncPrivately(QSettings& settings);

// Stores `value` under `key` and syncs, but only when it differs from what is stored. Returns
// false only when a change failed to reach the disk.
bool storeSetting(QSettings& settings, const QString& key, const QVariant& value);
bool removeSetting(QSettings& settings, const QString& key);

// Told the first time a settings write fails, with the reason in plain words.
void setWriteFailureHandler(std::function<void(const QString& reason)> handler);

// Writes `bytes` as the whole file at `path` in one atomic step, mode 0600.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace quillstow::platform
