#pragma once

#include "picker/PasteDelivery.h"

#include <QStringList>

namespace quillstow::test {

// Pastes nothing; remembers each text handed over and the window it was meant for.
struct RecordingDelivery : PasteDelivery
{
    QStringList pasted;
    QList<std::optional<platform::WindowRef>> targets;
    void deliver(const QString& content, const std::optional<platform::WindowRef>& target) override
    {
        pasted << content;
        targets << target;
    }
};

} // namespace quillstow::test
