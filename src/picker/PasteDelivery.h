#pragma once

#include "history/ClipItem.h"
#include "platform/WindowSystem.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace quillstow {

// Puts a chosen text into the application the user was working in before the picker opened.
class PasteDelivery
{
public:
    virtual ~PasteDelivery() = default;
    // Puts `content` on the clipboard at once; then, after short delays, brings `target` forward
    // and pastes into it (or tells the user to paste by hand where that is impossible).
    virtual void deliver(const QString& content,
                         const std::optional<platform::WindowRef>& target) = 0;
};

// The diagnostic line a Return paste writes: which id was selected, and the id and length in
// characters of the item chosen. No clip text.
QString pasteLogLine(const std::optional<QUuid>& selectedID, const std::optional<ClipItem>& target);

} // namespace quillstow
