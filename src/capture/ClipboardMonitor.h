#pragma once

#include <QObject>
#include <QtGlobal>
#include <chrono>

class QTimer;

namespace quillstow {

class HistoryStore;
namespace platform {
class Clipboard;
struct ClipboardRead;
} // namespace platform

// Turns the user's copies into history items: twice a second it looks whether the clipboard has
// changed and, when it holds new text with a visible character, adds it to the history.
class ClipboardMonitor : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds pollingInterval{500};

    // Takes the clipboard's change count now, so what the clipboard holds already is never
    // captured. `interval` is for tests.
    ClipboardMonitor(platform::Clipboard& clipboard, HistoryStore& historyStore,
                     std::chrono::milliseconds interval = pollingInterval,
                     QObject* parent = nullptr);

    // The one monitor, on the desktop's clipboard; creating it loads the shared history.
    static ClipboardMonitor& shared();

    // Starts polling. A second call only restarts the same timer.
    void start();

private:
    void checkClipboard();
    void answered(quint64 serial, const platform::ClipboardRead& read);

    platform::Clipboard& clipboard_;
    HistoryStore& historyStore_;
    std::chrono::milliseconds interval_;
    QTimer* timer_ = nullptr;
    qint64 lastChangeCount_; // the clipboard's change count last taken into account
    // Identifies the newest read; an answer to an older one is stale.
    quint64 readSerial_ = 0;
};

} // namespace quillstow
