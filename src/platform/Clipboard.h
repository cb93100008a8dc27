#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace quillstow::platform {

// The flavour a password manager adds to mark its copies as secret (KeePassXC writes "secret",
// others other values); content offering it is never read as text.
inline const QString secretHintFormat = QStringLiteral("x-kde-passwordManagerHint");

// What one read of the clipboard found.
struct ClipboardRead
{
    enum class Outcome
    {
        text,   // plain text, in `text`
        noText, // nothing readable as plain text: empty, an image, files
        secret, // marked by a password manager; the text was not read
        failed, // the owner did not answer in time, answered nonsense or too much, or the
                // clipboard changed hands before the read was done
    };

    Outcome outcome = Outcome::noText;
    QString text;

    static ClipboardRead ofText(const QString& text) { return {Outcome::text, text}; }
    static ClipboardRead of(Outcome outcome) { return {outcome, {}}; }
};

// The desktop's copy-and-paste clipboard.
class Clipboard
{
public:
    using ReadDone = std::function<void(const ClipboardRead&)>;

    virtual ~Clipboard() = default;

    // A number that grows whenever any program, this one included, changes the clipboard.
    virtual qint64 changeCount() const = 0;

    // Starts reading the current plain text and returns at once: the clipboard belongs to another
    // program, which may answer late or never. `done` runs later from the event loop, exactly
    // once, unless a later readText abandons this read first; then it never runs.
    virtual void readText(ReadDone done) = 0;
};

// The clipboard of the desktop this program runs on, chosen at first use. Needs the
// QGuiApplication.
Clipboard& systemClipboard();

} // namespace quillstow::platform
