#include "platform/QtClipboardWriter.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quillstow::platform {

void QtClipboardWriter::setText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
}

} // namespace quillstow::platform
