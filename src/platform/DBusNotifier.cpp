#include "platform/DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace quillstow::platform {

DBusNotifier::DBusNotifier(QString appName) : appName_(std::move(appName)) {}

void DBusNotifier::notify(const QString& title, const QString& body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's default).
    call << appName_ << quint32(0) << QString() << title << body << QStringList() << QVariantMap()
         << qint32(-1);
    QDBusConnection::sessionBus().asyncCall(call);
}

} // namespace quillstow::platform
