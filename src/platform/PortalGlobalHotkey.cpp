#include "platform/PortalGlobalHotkey.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quillstow::platform {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
// A running portal answers at once.
constexpr int probeTimeoutMs = 1000;

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// The portal's answer to a request that did not succeed, for the user.
QString refusal(uint response)
{
    return response == 1 ? QCoreApplication::translate(
                               "PortalGlobalHotkey", "the desktop's shortcut dialog was cancelled")
                         : QCoreApplication::translate("PortalGlobalHotkey",
                                                       "the desktop's shortcut service refused it");
}

QString pathText(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

} // namespace quillstow::platform

Q_DECLARE_METATYPE(quillstow::platform::PortalShortcut)

namespace quillstow::platform {

QString portalTrigger(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QString keyName;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        keyName = QChar(u'a' + (key - Qt::Key_A));
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        keyName = QChar(u'0' + (key - Qt::Key_0));
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        keyName = QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    else if (key == Qt::Key_Space)
        keyName = QStringLiteral("space");
    else
        return {};
    QString trigger;
    const std::pair<Qt::KeyboardModifier, const char16_t*> names[] = {
        {Qt::ControlModifier, u"CTRL+"},
        {Qt::AltModifier, u"ALT+"},
        {Qt::ShiftModifier, u"SHIFT+"},
        {Qt::MetaModifier, u"LOGO+"},
    };
    for (const auto& [modifier, name] : names) {
        if (modifiers & modifier)
            trigger += QString::fromUtf16(name);
    }
    return trigger + keyName;
}

QString portalRequestPath(const QString& uniqueName, const QString& token)
{
    QString sender = uniqueName.startsWith(u':') ? uniqueName.mid(1) : uniqueName;
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

std::unique_ptr<GlobalHotkey> createPortalGlobalHotkey()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    // Only a portal already running: starting one on demand may take seconds.
    QDBusMessage owned = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    owned << portalService;
    const QDBusMessage running = bus.call(owned, QDBus::Block, probeTimeoutMs);
    if (running.type() != QDBusMessage::ReplyMessage || running.arguments().isEmpty() ||
        !running.arguments().constFirst().toBool())
        return nullptr;
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, probeTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        debuglog::write(QStringLiteral("PortalGlobalHotkey: no GlobalShortcuts portal: ") +
                        reply.errorMessage());
        return nullptr;
    }
    return std::make_unique<PortalGlobalHotkey>(bus);
}

PortalGlobalHotkey::PortalGlobalHotkey(QDBusConnection bus) : bus_(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!bus_.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"),
                      this, SLOT(activated(QDBusMessage))))
        debuglog::write(QStringLiteral("PortalGlobalHotkey: cannot follow Activated: ") +
                        bus_.lastError().message());
}

PortalGlobalHotkey::~PortalGlobalHotkey()
{
    closeSession();
}

bool PortalGlobalHotkey::grab(Qt::Key key, Qt::KeyboardModifiers modifiers,
                              std::function<void()> onPress, QString* error)
{
    const QString trigger = portalTrigger(key, modifiers);
    if (trigger.isEmpty()) {
        if (error)
            *error = QCoreApplication::translate("PortalGlobalHotkey",
                                                 "the desktop's shortcut service cannot take "
                                                 "this key; choose a letter, digit or F key");
        return false;
    }
    closeSession();
    trigger_ = trigger;
    onPress_ = std::move(onPress);
    const int token = ++tokens_;
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("quillstow%1").arg(token)}},
            SLOT(sessionCreated(uint, QVariantMap)));
    return true;
}

void PortalGlobalHotkey::release(Qt::Key, Qt::KeyboardModifiers)
{
    closeSession();
    onPress_ = nullptr;
}

void PortalGlobalHotkey::request(const QString& method, QList<QVariant> arguments,
                                 QVariantMap options, const char* slot)
{
    const QString token = QStringLiteral("quillstow_request%1").arg(++tokens_);
    options.insert(QStringLiteral("handle_token"), token);
    // Listened for before the call, so that a quick answer is not missed.
    if (!requestPath_.isEmpty())
        bus_.disconnect(portalService, requestPath_, requestInterface, QStringLiteral("Response"),
                        this, responseSlot_);
    requestPath_ = portalRequestPath(bus_.baseService(), token);
    responseSlot_ = slot;
    bus_.connect(portalService, requestPath_, requestInterface, QStringLiteral("Response"), this,
                 slot);
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, method](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                if (reply.isError()) {
                    debuglog::write(QStringLiteral("PortalGlobalHotkey: %1 failed: %2")
                                        .arg(method, reply.error().message()));
                    fail(QCoreApplication::translate("PortalGlobalHotkey",
                                                     "the desktop's shortcut service did not "
                                                     "answer"));
                }
            });
}

void PortalGlobalHotkey::sessionCreated(uint response, const QVariantMap& results)
{
    session_ = pathText(results.value(QStringLiteral("session_handle")));
    if (response != 0 || session_.isEmpty()) {
        fail(refusal(response));
        return;
    }
    const QList<PortalShortcut> shortcuts{
        {shortcutId,
         {{QStringLiteral("description"),
           QCoreApplication::translate("PortalGlobalHotkey", "Open the Quillstow picker")},
          {QStringLiteral("preferred_trigger"), trigger_}}}};
    request(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()},
        {}, SLOT(shortcutsBound(uint, QVariantMap)));
}

void PortalGlobalHotkey::shortcutsBound(uint response, const QVariantMap& results)
{
    if (response != 0) {
        fail(refusal(response));
        return;
    }
    // The desktop may have let the user pick another trigger: the log says which one holds.
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    QList<PortalShortcut> bound;
    if (listed.metaType() == QMetaType::fromType<QDBusArgument>())
        listed.value<QDBusArgument>() >> bound;
    for (const PortalShortcut& shortcut : bound) {
        if (shortcut.id == shortcutId)
            debuglog::write(
                QStringLiteral("PortalGlobalHotkey: bound, triggered by ") +
                shortcut.properties.value(QStringLiteral("trigger_description")).toString());
    }
}

void PortalGlobalHotkey::activated(const QDBusMessage& signal)
{
    // (session handle, shortcut id, timestamp, options)
    const QList<QVariant> arguments = signal.arguments();
    if (arguments.size() < 2 || !onPress_ || session_.isEmpty())
        return;
    if (pathText(arguments.at(0)) == session_ && arguments.at(1).toString() == shortcutId)
        onPress_();
}

void PortalGlobalHotkey::fail(const QString& reason)
{
    debuglog::write(QStringLiteral("PortalGlobalHotkey: ") + reason);
    closeSession();
    if (onLateFailure)
        onLateFailure(reason);
}

void PortalGlobalHotkey::closeSession()
{
    if (!requestPath_.isEmpty())
        bus_.disconnect(portalService, requestPath_, requestInterface, QStringLiteral("Response"),
                        this, responseSlot_);
    requestPath_.clear();
    if (session_.isEmpty())
        return;
    bus_.asyncCall(QDBusMessage::createMethodCall(portalService, session_,
                                                  QStringLiteral("org.freedesktop.portal.Session"),
                                                  QStringLiteral("Close")));
    session_.clear();
}

} // namespace quillstow::platform
