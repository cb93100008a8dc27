#include "picker/PasteSequence.h"

#include "platform/Desktop.h"

#include <QSet>
#include <utility>

namespace quillstow {

namespace {

using platform::Key;

// The class part of WM_CLASS of the common terminal emulators, in lower case.
const QSet<QString>& terminalClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("konsole"),
        QStringLiteral("yakuake"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("tilix"),
        QStringLiteral("terminator"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("wezterm"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminology"),
        QStringLiteral("sakura"),
        QStringLiteral("termite"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("roxterm"),
        QStringLiteral("eterm"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("io.elementary.terminal"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("contour"),
        QStringLiteral("zutty"),
    };
    return classes;
}

} // namespace

bool isTerminalWindowClass(const QString& wmClass)
{
    return terminalClasses().contains(wmClass.toLower());
}

PasteSequence::PasteSequence(PasteServices services, PasteTiming timing, QObject* parent)
    : QObject(parent), services_(std::move(services)), timing_(timing)
{
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the pauses are what lets the windows settle.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PasteSequence::runStep);
}

PasteSequence::~PasteSequence()
{
    letGoOfKeys();
}

std::unique_ptr<PasteSequence>
PasteSequence::forDesktop(std::shared_ptr<platform::WindowSystem> windows)
{
    return std::make_unique<PasteSequence>(
        PasteServices{platform::createClipboardWriter(), std::move(windows),
                      platform::createKeyInjector(), platform::createNotifier()});
}

QString PasteSequence::notificationTitle()
{
    return QStringLiteral("Quillstow");
}

QString PasteSequence::notificationBody()
{
    return QStringLiteral(
        "Content copied \u2014 press Ctrl+V to paste. (Grant Accessibility for auto-paste)");
}

void PasteSequence::deliver(const QString& content,
                            const std::optional<platform::WindowRef>& target)
{
    timer_.stop();
    letGoOfKeys();
    services_.clipboard->setText(content);
    target_ = target;
    schedule(Step::Activate, timing_.activateAfter);
}

void PasteSequence::schedule(Step step, std::chrono::milliseconds delay)
{
    next_ = step;
    timer_.start(delay);
}

void PasteSequence::runStep()
{
    switch (std::exchange(next_, Step::Idle)) {
    case Step::Idle:
        return;
    case Step::Activate:
        // No check that the window came forward: the pause is the only synchronisation.
        if (target_)
            services_.windows->activate(*target_);
        schedule(Step::Keys, timing_.keysAfterActivation);
        return;
    case Step::Keys:
        // Checked before any key: without synthetic input the user pastes by hand.
        if (!services_.keys->isAvailable()) {
            askForManualPaste();
            return;
        }
        modifierWait_.start();
        [[fallthrough]];
    case Step::WaitForModifiers:
        // Modifiers the user still holds (say, the hot key's Super+Shift) would join ours and
        // turn Control+V into another shortcut. Past the limit we let go of them ourselves
        // rather than leave the paste undone.
        if (services_.keys->isModifierHeld()) {
            if (modifierWait_.elapsed() < timing_.modifierWaitLimit.count()) {
                schedule(Step::WaitForModifiers, timing_.modifierPoll);
                return;
            }
            services_.keys->releaseModifiers();
        }
        pasteNow();
        return;
    case Step::ReleasePaste:
        letGoOfKeys();
        schedule(Step::PressRight, timing_.keyHold);
        return;
    case Step::PressRight: {
        const platform::KeyChord right{Key::RightArrow};
        if (services_.keys->press(right)) {
            down_ = right;
            schedule(Step::ReleaseRight, timing_.keyHold);
        } else {
            finish();
        }
        return;
    }
    case Step::ReleaseRight:
        letGoOfKeys();
        finish();
        return;
    }
}

void PasteSequence::pasteNow()
{
    // Without a target the keys go to whatever is in front now, so that window decides.
    const std::optional<platform::WindowRef> receiver =
        target_ ? target_ : services_.windows->activeWindow();
    const bool terminal = receiver && isTerminalWindowClass(receiver->wmClass);
    const platform::KeyChord paste = terminal ? platform::KeyChord{Key::Control, Key::Shift, Key::V}
                                              : platform::KeyChord{Key::Control, Key::V};
    if (!services_.keys->press(paste)) {
        // No V on the keyboard map: the text is on the clipboard all the same.
        askForManualPaste();
        return;
    }
    down_ = paste;
    schedule(Step::ReleasePaste, timing_.keyHold);
}

void PasteSequence::askForManualPaste()
{
    services_.notifier->notify(notificationTitle(), notificationBody());
    finish();
}

void PasteSequence::letGoOfKeys()
{
    if (down_)
        services_.keys->release(*std::exchange(down_, std::nullopt));
}

void PasteSequence::finish()
{
    target_.reset();
    Q_EMIT finished();
}

} // namespace quillstow
