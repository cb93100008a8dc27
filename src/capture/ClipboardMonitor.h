#pragma once

#include "platform/Clipboard.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <array>
#include <chrono>
#include <optional>

class QSettings;

namespace quillstow {

class HistoryStore;

// Turns the user's copies into history items: when the clipboard says it changed, the monitor
// reads it and, when it holds new text with a visible character, adds it to the history. It also
// keeps the clipboard's text when the program that copied quits, and, when the user asks for
// it, captures the text selected with the mouse.
class ClipboardMonitor : public QObject
{
    Q_OBJECT

public:
    // How long the mouse selection must stay the same before it is read: a drag changes it many
    // times a second, and only where the drag ends counts.
    static constexpr std::chrono::milliseconds selectionSettleTime{400};

    // Takes the clipboard's change count now, so what the clipboard holds already is never
    // captured. The two capture settings are read from `defaults` when they are needed.
    ClipboardMonitor(platform::Clipboard& clipboard, HistoryStore& historyStore,
                     QSettings& defaults, QObject* parent = nullptr);
    ~ClipboardMonitor() override;

    // Starts listening, and reads a change made since construction. A second call does nothing.
    void start();

Q_SIGNALS:
    // A copy was over the size limit and skipped; sent for the first such copy only, so that
    // the user is told once. `bytes` is as much of its size as was known.
    void skippedTooLarge(qint64 bytes);

private:
    void changed(platform::ClipboardChange change);
    void checkClipboard();
    void read(platform::Selection selection);
    void answered(platform::Selection selection, quint64 serial,
                  const platform::ClipboardRead& read);

    platform::Clipboard& clipboard_;
    HistoryStore& historyStore_;
    QSettings& defaults_;
    bool isStarted_ = false;
    // A burst of changes in one turn of the event loop costs one read.
    bool isCheckScheduled_ = false;
    qint64 lastChangeCount_; // the clipboard's change count last taken into account
    // Identifies each selection's newest read; an answer to an older one is stale.
    std::array<quint64, 2> readSerials_{};
    // What the clipboard's present owner offers, once read: the text kept when it quits.
    std::optional<QString> clipboardText_;
    QTimer selectionSettle_;
    bool isTooLargeTold_ = false;
};

} // namespace quillstow
