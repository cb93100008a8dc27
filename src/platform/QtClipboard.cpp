#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QMimeData>
#include <QTimer>

namespace quillstow::platform {

QtClipboard::QtClipboard(QClipboard& clipboard, QObject* parent)
    : QObject(parent), clipboard_(clipboard)
{
    connect(&clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++changeCount_;
    });
}

void QtClipboard::readText(ReadDone done)
{
    const quint64 serial = ++readSerial_;
    QTimer::singleShot(0, this, [this, serial, done = std::move(done)] {
        if (serial == readSerial_)
            done(readNow());
    });
}

ClipboardRead QtClipboard::readNow() const
{
    const QMimeData* data = clipboard_.mimeData(QClipboard::Clipboard);
    if (!data)
        return ClipboardRead::of(ClipboardRead::Outcome::noText);
    if (data->hasFormat(secretHintFormat))
        return ClipboardRead::of(ClipboardRead::Outcome::secret);
    if (!data->hasText())
        return ClipboardRead::of(ClipboardRead::Outcome::noText);
    return ClipboardRead::ofText(data->text());
}

} // namespace quillstow::platform
