#pragma once

#include "platform/ClipboardWriter.h"

namespace quillstow::platform {

// The clipboard through QClipboard: Qt owns the selection and answers the target's requests.
class QtClipboardWriter : public ClipboardWriter
{
public:
    void setText(const QString& text) override;
    void setPrimaryText(const QString& text) override;
};

} // namespace quillstow::platform
