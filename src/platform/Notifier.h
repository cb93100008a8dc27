#pragma once

#include <QString>

namespace quillstow::platform {

// The desktop's notification bubbles.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // Shows a notification; returns at once, and a missing notification service is not an error.
    virtual void notify(const QString& title, const QString& body) = 0;
};

} // namespace quillstow::platform
