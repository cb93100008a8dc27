#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace quillstow::platform {

// The flavour a password manager adds to mark its copies as secret (KeePassXC writes "secret",
// others other values); content offering it is never read as text.
inline const QString secretHintFormat = QStringLiteral("x-kde-passwordManagerHint");

// The largest text taken from the clipboard, in UTF-8 bytes. Up to this size a copy is read,
// checked and stored within a few tens of milliseconds of the GUI thread's time; larger ones
// (a log file, a database dump) are skipped rather than freezing the program and filling the
// history with something nobody pastes from a picker.
constexpr qsizetype maxTextBytes = qsizetype{4} * 1024 * 1024;

// What one read of the clipboard found.
struct ClipboardRead
{
    enum class Outcome
    {
        text,     // plain text, in `text`
        noText,   // nothing readable as plain text: empty, an image, files
        secret,   // marked by a password manager; the text was not read
        tooLarge, // text over maxTextBytes; `bytes` is as much of its size as is known
        failed,   // the owner did not answer in time or answered nonsense, or the clipboard
                  // changed hands before the read was done
    };

    Outcome outcome = Outcome::noText;
    QString text;
    qsizetype bytes = 0;

    static ClipboardRead ofText(const QString& text) { return {Outcome::text, text, 0}; }
    static ClipboardRead of(Outcome outcome) { return {outcome, {}, 0}; }
    static ClipboardRead ofSize(qsizetype bytes) { return {Outcome::tooLarge, {}, bytes}; }
};

// The two selections a desktop may have: the copy-and-paste clipboard, and the text last
// selected with the mouse (X11's PRIMARY).
enum class Selection
{
    clipboard,
    primary,
};

// What the clipboard tells its listener.
enum class ClipboardChange
{
    copied,    // the clipboard has a new owner: another program copied
    abandoned, // the clipboard's owner went away and left it empty
    selected,  // the mouse selection has a new owner
};

// The desktop's copy-and-paste clipboard, and its mouse selection.
class Clipboard
{
public:
    using ReadDone = std::function<void(const ClipboardRead&)>;
    using ChangeListener = std::function<void(ClipboardChange)>;

    virtual ~Clipboard() = default;

    // A number that grows whenever any program, this one included, changes the clipboard. Our
    // own taking of an abandoned clipboard (keepText) is no change.
    virtual qint64 changeCount() const = 0;

    // `changed` hears of every change from the event loop, as it happens; an empty function
    // stops it.
    virtual void setChangeListener(ChangeListener changed) = 0;

    // Starts reading the selection's current plain text and returns at once: it belongs to
    // another program, which may answer late or never. `done` runs later from the event loop,
    // exactly once, unless a later read of the same selection abandons this one first; then it
    // never runs. A read of the mouse selection waits until no mouse button is held.
    virtual void readText(Selection selection, ReadDone done) = 0;

    // Takes the clipboard that its owner has just abandoned and offers `text` from it until
    // another program copies. Nothing where the clipboard cannot be taken.
    virtual void keepText(const QString& text) = 0;
};

} // namespace quillstow::platform
