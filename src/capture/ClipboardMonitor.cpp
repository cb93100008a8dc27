#include "capture/ClipboardMonitor.h"

#include "history/ClipItem.h"
#include "history/HistoryStore.h"
#include "history/TextRules.h"
#include "platform/Clipboard.h"

#include <QPointer>
#include <QTimer>

namespace quillstow {

ClipboardMonitor::ClipboardMonitor(platform::Clipboard& clipboard, HistoryStore& historyStore,
                                   std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), clipboard_(clipboard), historyStore_(historyStore), interval_(interval),
      lastChangeCount_(clipboard.changeCount())
{}

ClipboardMonitor& ClipboardMonitor::shared()
{
    static ClipboardMonitor* const monitor =
        new ClipboardMonitor(platform::systemClipboard(), HistoryStore::shared());
    return *monitor;
}

void ClipboardMonitor::start()
{
    // A Qt timer also fires in the nested event loops of menus and modal dialogs. As a child it
    // stops with the monitor.
    if (!timer_) {
        timer_ = new QTimer(this);
        // A coarse timer may fire a twentieth of its interval late; a copy is to be seen within
        // the half second.
        timer_->setTimerType(Qt::PreciseTimer);
        connect(timer_, &QTimer::timeout, this, &ClipboardMonitor::checkClipboard);
    }
    timer_->start(interval_);
}

void ClipboardMonitor::checkClipboard()
{
    const qint64 changeCount = clipboard_.changeCount();
    if (changeCount == lastChangeCount_)
        return;
    // Consumed from here on, whatever the read finds or however late it answers.
    lastChangeCount_ = changeCount;
    // A read still waiting for an earlier change is abandoned: the clipboard has moved on, and
    // only its present state counts.
    const quint64 serial = ++readSerial_;
    clipboard_.readText(
        [self = QPointer<ClipboardMonitor>(this), serial](const platform::ClipboardRead& read) {
            if (ClipboardMonitor* monitor = self.data())
                monitor->answered(serial, read);
        });
}

void ClipboardMonitor::answered(quint64 serial, const platform::ClipboardRead& read)
{
    if (serial != readSerial_)
        return;
    // An image, files, a password manager's secret or an owner that never answered: nothing.
    if (read.outcome != platform::ClipboardRead::Outcome::text)
        return;
    if (text::trimmedWhitespaceAndNewlines(read.text).isEmpty())
        return;
    const QList<ClipItem>& items = historyStore_.items();
    if (!items.isEmpty() && text::canonicallyEqual(items.first().content, read.text))
        return;
    QMetaObject::invokeMethod(
        &historyStore_,
        [store = &historyStore_, item = ClipItem::create(read.text)] { store->add(item); },
        Qt::QueuedConnection);
}

} // namespace quillstow
