#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QMimeData>
#include <QTimer>

namespace quillstow::platform {

namespace {

QClipboard::Mode modeOf(Selection selection)
{
    return selection == Selection::primary ? QClipboard::Selection : QClipboard::Clipboard;
}

} // namespace

QtClipboard::QtClipboard(QClipboard& clipboard, QObject* parent)
    : QObject(parent), clipboard_(clipboard)
{
    connect(&clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++changeCount_;
        if (!changed_ || mode == QClipboard::FindBuffer)
            return;
        changed_(mode == QClipboard::Clipboard ? ClipboardChange::copied
                                               : ClipboardChange::selected);
    });
}

void QtClipboard::readText(Selection selection, ReadDone done)
{
    quint64& current = readSerials_[static_cast<std::size_t>(selection)];
    const quint64 serial = ++current;
    QTimer::singleShot(0, this, [this, &current, serial, selection, done = std::move(done)] {
        if (serial == current)
            done(readNow(selection));
    });
}

ClipboardRead QtClipboard::readNow(Selection selection) const
{
    const QMimeData* data = clipboard_.mimeData(modeOf(selection));
    if (!data)
        return ClipboardRead::of(ClipboardRead::Outcome::noText);
    if (data->hasFormat(secretHintFormat))
        return ClipboardRead::of(ClipboardRead::Outcome::secret);
    if (!data->hasText())
        return ClipboardRead::of(ClipboardRead::Outcome::noText);
    QString text = data->text();
    // UTF-16 units bound the UTF-8 size from below, three bytes each from above.
    if (text.size() * 3 > maxTextBytes) {
        const qsizetype bytes = text.toUtf8().size();
        if (bytes > maxTextBytes)
            return ClipboardRead::ofSize(bytes);
    }
    return ClipboardRead::ofText(text);
}

} // namespace quillstow::platform
