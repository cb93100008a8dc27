#include "platform/QtClipboardWriter.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quillstow::platform {

void QtClipboardWriter::setText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text, QClipboard::Clipboard);
}

void QtClipboardWriter::setPrimaryText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

} // namespace quillstow::platform
