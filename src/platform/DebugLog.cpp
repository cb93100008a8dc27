#include "platform/DebugLog.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow::debuglog {

namespace {

// QUILLSTOW_DEBUG_LOG, read once at start, points the log elsewhere (each test desktop keeps its
// own, so that runs side by side do not mix their lines).
QString& currentPath()
{
    static QString p = qEnvironmentVariableIsEmpty("QUILLSTOW_DEBUG_LOG")
                           ? defaultPath
                           : qEnvironmentVariable("QUILLSTOW_DEBUG_LOG");
    return p;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// Opens the log for appending without following a link or blocking on a pipe, and keeps it only
// when it is a plain file of ours with no other name.
int openOwnFile(const QByteArray& native, int extraFlags, struct stat* st)
{
    const int fd = ::open(
        native.constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | extraFlags, 0600);
    if (fd < 0)
        return -1;
    bool ok = ::fstat(fd, st) == 0 && S_ISREG(st->st_mode) && st->st_uid == ::getuid() &&
              st->st_nlink == 1;
    if (ok && (st->st_mode & 0077) != 0)
        ok = ::fchmod(fd, 0600) == 0;
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool appendLine(const QString& text, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {};
    int fd = openOwnFile(native, 0, &st);
    if (fd < 0)
        return false;
    if (st.st_size >= maxBytes) {
        // Only we can rename our own file in a sticky folder. When the older name is taken by
        // somebody else's file, the old lines are dropped instead.
        ::close(fd);
        const QByteArray older = native + ".1";
        const bool movedAside = ::rename(native.constData(), older.constData()) == 0;
        fd = openOwnFile(native, movedAside ? O_EXCL : 0, &st);
        if (fd < 0)
            return false;
        if (!movedAside && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
    }
    const bool ok = writeAll(fd, text.toUtf8());
    ::close(fd);
    return ok;
}

void write(const QString& message)
{
    appendLine(message + u'\n', currentPath());
}

QString path()
{
    return currentPath();
}

void setPath(const QString& path)
{
    currentPath() = path;
}

} // namespace quillstow::debuglog
