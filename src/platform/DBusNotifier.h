#pragma once

#include "platform/Notifier.h"

namespace quillstow::platform {

// Notifications through org.freedesktop.Notifications on the session bus.
class DBusNotifier : public Notifier
{
public:
    // `appName` is what the notification service shows as the sender.
    explicit DBusNotifier(QString appName);
    // The call is sent without waiting for an answer: a missing or slow notification service
    // never holds up the event loop, and its error is dropped.
    void notify(const QString& title, const QString& body) override;

private:
    QString appName_;
};

} // namespace quillstow::platform
