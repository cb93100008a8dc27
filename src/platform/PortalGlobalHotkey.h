#pragma once

#include "platform/GlobalHotkey.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

namespace quillstow::platform {

// The trigger the portal is asked for, in the desktop shortcuts notation: modifiers as CTRL, ALT,
// SHIFT and LOGO, then the key's keysym name ("LOGO+SHIFT+v"). Empty for a key it cannot name.
QString portalTrigger(Qt::Key key, Qt::KeyboardModifiers modifiers);
// The object on which the portal answers a request made with `token` by the connection
// `uniqueName` (":1.42").
QString portalRequestPath(const QString& uniqueName, const QString& token);

// The hot key through org.freedesktop.portal.GlobalShortcuts: a session is created, the one
// shortcut is bound in it, and the portal's Activated signal is the press. Every call is
// asynchronous; the portal's answers arrive as Request.Response signals.
class PortalGlobalHotkey : public QObject, public GlobalHotkey
{
    Q_OBJECT

public:
    static inline const QString shortcutId = QStringLiteral("open-picker");

    explicit PortalGlobalHotkey(QDBusConnection bus);
    ~PortalGlobalHotkey() override;
    PortalGlobalHotkey(const PortalGlobalHotkey&) = delete;
    PortalGlobalHotkey& operator=(const PortalGlobalHotkey&) = delete;

    // Starts the request and returns true; the portal's refusal comes through onLateFailure.
    bool grab(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> onPress,
              QString* error) override;
    void release(Qt::Key key, Qt::KeyboardModifiers modifiers) override;
    HotkeyMechanism mechanism() const override { return HotkeyMechanism::Portal; }

private Q_SLOTS:
    void sessionCreated(uint response, const QVariantMap& results);
    void shortcutsBound(uint response, const QVariantMap& results);
    void activated(const QDBusMessage& signal);

private:
    // Calls `method` on the portal with `arguments`, the last of them the options carrying a
    // fresh handle_token; the Response on that request's object goes to `slot`.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 const char* slot);
    void fail(const QString& reason);
    void closeSession();

    QDBusConnection bus_;
    QString trigger_;
    std::function<void()> onPress_;
    QString requestPath_;
    const char* responseSlot_ = nullptr;
    QString session_;
    int tokens_ = 0;
};

} // namespace quillstow::platform
