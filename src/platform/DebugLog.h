#pragma once

#include <QString>

// The plain diagnostic log: one line per message, appended. It never holds clipboard text.
namespace quillstow::debuglog {

inline const QString defaultPath = QStringLiteral("/tmp/deverarizi.log");
// Past this size the file is moved aside to "<path>.1" (replacing the older one) and a new file
// is begun.
constexpr qint64 maxBytes = 1024 * 1024;

// Appends `text`'s UTF-8 bytes, unchanged, to the file at `path`, creating it (mode 0600) when
// missing. The path sits in a folder everyone can write to, so a symbolic link, a file that is
// not regular, one with a second hard link or one owned by somebody else is refused. Returns
// false when nothing was written.
bool appendLine(const QString& text, const QString& path);

// Appends `message` and a line feed to the log; a failure is silent.
void write(const QString& message);

// Where `write` goes; tests point it at a private file.
QString path();
void setPath(const QString& path);

} // namespace quillstow::debuglog
