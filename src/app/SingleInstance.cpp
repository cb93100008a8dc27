#include "app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow {

namespace {

const QString objectPath = QStringLiteral("/Quillstow");
constexpr int retryPauseMs = 50;

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), lock_(QDir(folder).filePath(QStringLiteral("quillstow.lock")))
{
    lock_.setStaleLockTime(0); // only a dead holder's lock is stale, however old
}

bool SingleInstance::makePrivateFolder(const QString& path, QString* why)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Opened without following a link, so the checks and the repair apply to what is there.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st
    {};
    QString problem;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        problem = QStringLiteral("it is not a folder");
    else if (st.st_uid != ::getuid())
        problem = QStringLiteral("it belongs to another user");
    else if ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        problem = QStringLiteral("its permissions cannot be narrowed");
    if (fd >= 0)
        ::close(fd);
    if (why)
        *why = problem;
    return problem.isEmpty();
}

QString SingleInstance::defaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty() && QDir().mkpath(folder) && makePrivateFolder(folder))
        return folder;
    // Anyone can create the name in the temporary folder first.
    folder = QDir::temp().filePath(QStringLiteral("quillstow-%1").arg(::getuid()));
    QString why;
    if (makePrivateFolder(folder, &why))
        return folder;
    const QString fallback = QDir::home().filePath(QStringLiteral(".cache/quillstow"));
    QTextStream(stderr) << "Quillstow does not use " << folder << ": " << why << ". Using "
                        << fallback << " instead.\n";
    QDir().mkpath(QFileInfo(fallback).path());
    makePrivateFolder(fallback);
    return fallback;
}

bool SingleInstance::claim()
{
    if (!lock())
        return false;
    listen();
    return true;
}

bool SingleInstance::lock()
{
    bool locked = lock_.tryLock(0);
    // A holder keeps the file locked while it lives; a damaged file nobody holds would
    // otherwise block every start, as its unreadable holder never counts as gone.
    if (!locked && lock_.error() == QLockFile::LockFailedError && lock_.removeStaleLockFile())
        locked = lock_.tryLock(0);
    return locked;
}

void SingleInstance::unlock()
{
    lock_.unlock();
}

void SingleInstance::listen()
{
    // Without a session bus we are still the one instance; later launches just cannot reach us.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
        bus.registerService(serviceName);
    }
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    return send(Request::Show, timeoutMs);
}

bool SingleInstance::send(Request request, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QString method = QStringLiteral("ShowPicker");
    if (request == Request::Toggle)
        method = QStringLiteral("TogglePicker");
    else if (request == Request::Quit)
        method = QStringLiteral("Quit");
    const QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, objectPath, QStringLiteral("org.quillstow.Quillstow"), method);
    // An instance that has just taken the lock is on the bus a moment later.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int left = timeoutMs - static_cast<int>(waited.elapsed());
        const QDBusMessage reply = bus.call(call, QDBus::Block, std::max(left, 1));
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
            left <= retryPauseMs)
            return false;
        QThread::msleep(retryPauseMs);
    }
}

void SingleInstance::ShowPicker()
{
    Q_EMIT showRequested();
}

void SingleInstance::TogglePicker()
{
    Q_EMIT toggleRequested();
}

void SingleInstance::Quit()
{
    Q_EMIT quitRequested();
}

} // namespace quillstow
