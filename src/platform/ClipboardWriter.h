#pragma once

#include <QString>

namespace quillstow::platform {

// Puts our own text on the system clipboard.
class ClipboardWriter
{
public:
    virtual ~ClipboardWriter() = default;
    // Replaces the clipboard's contents with `text`, as plain text; we keep serving it to
    // whoever asks until something else takes the clipboard.
    virtual void setText(const QString& text) = 0;
    // Makes `text` the primary selection as well, served the same way: what X terminals paste
    // with Shift+Insert.
    virtual void setPrimaryText(const QString& text) = 0;
};

} // namespace quillstow::platform
