#include "platform/DebugLog.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow::debuglog {

namespace {

QString& currentPath()
{
    static QString p = defaultPath;
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

} // namespace

bool appendLine(const QString& text, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd =
        ::open(native.constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat st
    {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid();
    if (ok && (st.st_mode & 0077) != 0)
        ok = ::fchmod(fd, 0600) == 0;
    if (ok)
        ok = writeAll(fd, text.toUtf8());
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
