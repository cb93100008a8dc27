#include "app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace quillstow {

namespace {

const QString objectPath = QStringLiteral("/Quillstow");

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), lock_(QDir(folder).filePath(QStringLiteral("quillstow.lock")))
{
    lock_.setStaleLockTime(0); // only a dead holder's lock is stale, however old
}

QString SingleInstance::defaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::temp().filePath(QStringLiteral("quillstow-%1").arg(::getuid()));
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

bool SingleInstance::claim()
{
    if (!lock_.tryLock(0))
        return false;
    // Without a session bus we are still the one instance; later launches just cannot reach us.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
        bus.registerService(serviceName);
    }
    return true;
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, objectPath, QStringLiteral("org.quillstow.Quillstow"),
        QStringLiteral("ShowPicker"));
    return bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}

void SingleInstance::ShowPicker()
{
    Q_EMIT showRequested();
}

} // namespace quillstow
