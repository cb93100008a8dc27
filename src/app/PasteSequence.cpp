#include "app/PasteSequence.h"

#include <QSet>
#include <utility>

namespace quillstow {

namespace {

using platform::Key;

// The common terminal emulators, in lower case: the class part of their WM_CLASS, and their
// Wayland app_id where it differs.
const QSet<QString>& terminalClasses()
{
    static const QSet<QString> classes{
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
        QStringLiteral("cool-retro-term"),
        QStringLiteral("io.elementary.terminal"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("contour"),
        QStringLiteral("zutty"),
        // Wayland app_ids
        QStringLiteral("org.gnome.terminal"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("org.kde.yakuake"),
        QStringLiteral("com.gexperts.tilix"),
    };
    return classes;
}

// Terminals whose stock key map pastes only with Shift+Insert, and pastes the primary selection.
const QSet<QString>& shiftInsertTerminalClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("xterm"), QStringLiteral("uxterm"), QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),  QStringLiteral("aterm"),  QStringLiteral("mrxvt"),
        QStringLiteral("eterm"),
    };
    return classes;
}

platform::KeyChord chordOf(PasteKeys keys)
{
    switch (keys) {
    case PasteKeys::ControlShiftV:
        return {Key::Control, Key::Shift, Key::V};
    case PasteKeys::ShiftInsert:
        return {Key::Shift, Key::Insert};
    case PasteKeys::ControlV:
        break;
    }
    return {Key::Control, Key::V};
}

} // namespace

PasteKeys pasteKeysFor(const QString& appClass)
{
    const QString name = appClass.toLower();
    if (shiftInsertTerminalClasses().contains(name))
        return PasteKeys::ShiftInsert;
    if (terminalClasses().contains(name))
        return PasteKeys::ControlShiftV;
    return PasteKeys::ControlV;
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

QString PasteSequence::notificationTitle()
{
    return QStringLiteral("Quillstow");
}

QString PasteSequence::notificationBody(SessionKind session)
{
    if (session == SessionKind::wayland)
        return tr("Content copied — press Ctrl+V to paste. (This desktop offers Quillstow no "
                  "virtual keyboard to paste for you.)");
    return tr("Content copied — press Ctrl+V to paste. (Grant Accessibility for auto-paste)");
}

void PasteSequence::deliver(const QString& content,
                            const std::optional<platform::WindowRef>& target)
{
    timer_.stop();
    letGoOfKeys();
    services_.clipboard->setText(content);
    content_ = content;
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
        // Where the user's modifiers cannot be seen, a short pause stands in for watching them.
        if (const auto settle = services_.keys->settleDelay(); settle.count() > 0) {
            schedule(Step::WaitForModifiers, settle);
            return;
        }
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
        if (!pressRight_) {
            finish();
            return;
        }
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
    const PasteKeys keys = receiver ? pasteKeysFor(receiver->appClass) : PasteKeys::ControlV;
    // Programs in a terminal read a Right Arrow as input of its own (ESC [ C).
    pressRight_ = keys == PasteKeys::ControlV;
    if (keys == PasteKeys::ShiftInsert)
        services_.clipboard->setPrimaryText(content_);
    const platform::KeyChord paste = chordOf(keys);
    if (!services_.keys->press(paste)) {
        // A paste key missing from the keyboard map: the text is on the clipboard all the same.
        askForManualPaste();
        return;
    }
    down_ = paste;
    schedule(Step::ReleasePaste, timing_.keyHold);
}

void PasteSequence::askForManualPaste()
{
    services_.notifier->notify(notificationTitle(), notificationBody(services_.session));
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
    content_.clear();
    Q_EMIT finished();
}

} // namespace quillstow
