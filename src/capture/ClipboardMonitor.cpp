#include "capture/ClipboardMonitor.h"

#include "capture/CaptureSettings.h"
#include "history/ClipItem.h"
#include "history/HistoryStore.h"
#include "history/TextRules.h"
#include "platform/DebugLog.h"

#include <QPointer>

namespace quillstow {

using platform::ClipboardChange;
using platform::ClipboardRead;
using platform::Selection;

namespace {

std::size_t indexOf(Selection selection)
{
    return static_cast<std::size_t>(selection);
}

} // namespace

ClipboardMonitor::ClipboardMonitor(platform::Clipboard& clipboard, HistoryStore& historyStore,
                                   QSettings& defaults, QObject* parent)
    : QObject(parent), clipboard_(clipboard), historyStore_(historyStore), defaults_(defaults),
      lastChangeCount_(clipboard.changeCount())
{
    selectionSettle_.setSingleShot(true);
    selectionSettle_.setInterval(selectionSettleTime);
    connect(&selectionSettle_, &QTimer::timeout, this, [this] {
        if (capture::capturesPrimary(defaults_)) // unless turned off meanwhile
            read(Selection::primary);
    });
}

ClipboardMonitor::~ClipboardMonitor()
{
    if (isStarted_)
        clipboard_.setChangeListener(nullptr);
}

void ClipboardMonitor::start()
{
    if (isStarted_)
        return;
    isStarted_ = true;
    clipboard_.setChangeListener([this](ClipboardChange change) { changed(change); });
    checkClipboard();
}

void ClipboardMonitor::changed(ClipboardChange change)
{
    switch (change) {
    case ClipboardChange::copied:
        clipboardText_.reset();
        // Queued: the rest of a burst is counted meanwhile, and one read takes its last state.
        if (!isCheckScheduled_) {
            isCheckScheduled_ = true;
            QMetaObject::invokeMethod(this, &ClipboardMonitor::checkClipboard,
                                      Qt::QueuedConnection);
        }
        return;
    case ClipboardChange::abandoned:
        // Empty now: there is nothing to read, and a read still going is moot.
        lastChangeCount_ = clipboard_.changeCount();
        ++readSerials_[indexOf(Selection::clipboard)];
        if (clipboardText_ && capture::keepsClipboard(defaults_))
            clipboard_.keepText(*clipboardText_);
        return;
    case ClipboardChange::selected:
        // Each step of a drag starts the wait anew.
        if (capture::capturesPrimary(defaults_))
            selectionSettle_.start();
        return;
    }
}

void ClipboardMonitor::checkClipboard()
{
    isCheckScheduled_ = false;
    const qint64 changeCount = clipboard_.changeCount();
    if (changeCount == lastChangeCount_)
        return;
    // Consumed from here on, whatever the read finds or however late it answers.
    lastChangeCount_ = changeCount;
    read(Selection::clipboard);
}

void ClipboardMonitor::read(Selection selection)
{
    // A read still waiting for an earlier change is abandoned: the selection has moved on, and
    // only its present state counts.
    const quint64 serial = ++readSerials_[indexOf(selection)];
    clipboard_.readText(selection, [self = QPointer<ClipboardMonitor>(this), selection,
                                    serial](const ClipboardRead& read) {
        if (ClipboardMonitor* monitor = self.data())
            monitor->answered(selection, serial, read);
    });
}

void ClipboardMonitor::answered(Selection selection, quint64 serial, const ClipboardRead& read)
{
    if (serial != readSerials_[indexOf(selection)])
        return;
    if (selection == Selection::clipboard && read.outcome == ClipboardRead::Outcome::text)
        clipboardText_ = read.text;
    if (read.outcome == ClipboardRead::Outcome::tooLarge) {
        debuglog::write(QStringLiteral("ClipboardMonitor: skipped a %1 of %2 bytes or more, over "
                                       "the limit of %3 bytes")
                            .arg(selection == Selection::clipboard ? QStringLiteral("copy")
                                                                   : QStringLiteral("selection"))
                            .arg(read.bytes)
                            .arg(platform::maxTextBytes));
        if (!isTooLargeTold_) {
            isTooLargeTold_ = true;
            Q_EMIT skippedTooLarge(read.bytes);
        }
        return;
    }
    // An image, files, a password manager's secret or an owner that never answered: nothing.
    if (read.outcome != ClipboardRead::Outcome::text)
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
