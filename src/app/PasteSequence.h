#pragma once

#include "app/SessionKind.h"
#include "picker/PasteDelivery.h"
#include "platform/ClipboardWriter.h"
#include "platform/KeyInjector.h"
#include "platform/Notifier.h"
#include "platform/WindowSystem.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

namespace quillstow {

// The pauses of a paste.
struct PasteTiming
{
    std::chrono::milliseconds activateAfter{150};
    std::chrono::milliseconds keysAfterActivation{200};
    // How often, and how long at most, to wait for the user to let go of modifier keys
    // still held from choosing the entry.
    std::chrono::milliseconds modifierPoll{15};
    std::chrono::milliseconds modifierWaitLimit{2000};
    // How long each synthetic key stays down: some applications miss a zero-length press.
    std::chrono::milliseconds keyHold{10};
};

// What a paste works with.
struct PasteServices
{
    std::shared_ptr<platform::ClipboardWriter> clipboard;
    std::shared_ptr<platform::WindowSystem> windows;
    std::shared_ptr<platform::KeyInjector> keys;
    std::shared_ptr<platform::Notifier> notifier;
    // Words the manual-paste notification for this kind of desktop.
    SessionKind session = SessionKind::x11;
};

// The paste: the text goes on the clipboard at once; after a pause the previous application is
// brought forward, and after another the paste keys of that window are pressed in it, followed,
// outside terminals, by one Right Arrow. Without synthetic input a notification asks the user to
// paste by hand.
class PasteSequence : public QObject, public PasteDelivery
{
    Q_OBJECT

public:
    explicit PasteSequence(PasteServices services, PasteTiming timing = {},
                           QObject* parent = nullptr);
    ~PasteSequence() override;

    // A new delivery replaces one still under way: its target would otherwise receive the new
    // text.
    void deliver(const QString& content, const std::optional<platform::WindowRef>& target) override;

    static QString notificationTitle();
    static QString notificationBody(SessionKind session = SessionKind::x11);

Q_SIGNALS:
    // The last step has run (keys let go of, or the notification sent).
    void finished();

private:
    enum class Step
    {
        Idle,
        Activate,
        Keys,
        WaitForModifiers,
        ReleasePaste,
        PressRight,
        ReleaseRight
    };

    void runStep();
    void schedule(Step step, std::chrono::milliseconds delay);
    void pasteNow();
    void askForManualPaste();
    void letGoOfKeys();
    void finish();

    PasteServices services_;
    PasteTiming timing_;
    QTimer timer_;
    Step next_ = Step::Idle;
    std::optional<platform::WindowRef> target_;
    QString content_;
    bool pressRight_ = false;
    QElapsedTimer modifierWait_;
    std::optional<platform::KeyChord> down_;
};

// How a window takes a paste from the keyboard.
enum class PasteKeys
{
    ControlV,
    // Terminal emulators, where Control+V is a character of its own.
    ControlShiftV,
    // xterm and its relatives: they paste the primary selection, and have no Control+Shift+V.
    ShiftInsert
};

// The paste keys of a window of this application class (WM_CLASS's class, or a Wayland app_id).
PasteKeys pasteKeysFor(const QString& appClass);

} // namespace quillstow
