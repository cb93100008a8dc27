#pragma once

#include "platform/Clipboard.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
struct xcb_connection_t;
struct xcb_selection_notify_event_t;
struct xcb_property_notify_event_t;

namespace quillstow::platform {

// The CLIPBOARD selection, on a connection of its own to the X server.
//
// The change count grows with every XFixes notification that the selection got a new owner or
// lost its owner. Reads never wait on the owning program: the request goes out, the answer is
// handled from the event loop when it comes (large texts arrive in INCR chunks), and a read whose
// owner stays silent for `answerTimeout` is given up. A read whose selection changes hands before
// it is done is dropped: what it has is partly the old owner's, and the new owner's change is
// counted and read on its own.
class X11Clipboard final : public QObject, public Clipboard
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds answerTimeout{1000};
    // The most one read takes in; a larger text, or an owner that never stops sending, is given
    // up there.
    static constexpr qsizetype maxReadBytes = qsizetype{64} * 1024 * 1024;

    // Connects to `display` ($DISPLAY when empty); nothing, with the reason in `error`, when
    // there is no usable X server or it cannot tell when the clipboard changes.
    static std::unique_ptr<X11Clipboard> connect(const QByteArray& display = {},
                                                 QString* error = nullptr);
    ~X11Clipboard() override;

    qint64 changeCount() const override { return changeCount_; }
    void readText(ReadDone done) override;

private:
    enum Atom : std::size_t
    {
        clipboardAtom,
        targetsAtom,
        incrAtom,
        utf8StringAtom,
        textPlainUtf8Atom,
        textPlainAtom,
        secretHintAtom,
        propertyAtom,
        atomCount
    };

    struct Read
    {
        ReadDone done;
        std::uint32_t window = 0;
        std::vector<std::uint32_t> candidates; // text targets still to try, best first
        std::uint32_t requested = 0;           // the target asked for last
        bool isIncremental = false;            // the answer is coming in INCR chunks
        std::uint32_t type = 0;                // the answer's property type
        std::uint8_t format = 0;
        QByteArray data;
        std::vector<QByteArray> chunks; // INCR chunks so far
        qsizetype chunkBytes = 0;
    };

    X11Clipboard(xcb_connection_t* connection, std::uint32_t root, std::uint8_t xfixesFirstEvent,
                 const std::array<std::uint32_t, atomCount>& atoms);

    // Subscribes to the selection's changes of owner; the X server's refusal when it refuses.
    QString watchOwnerChanges();
    void processEvents();
    void ownerChanged();
    void handleSelectionNotify(const xcb_selection_notify_event_t& event);
    void handlePropertyNotify(const xcb_property_notify_event_t& event);
    void request(std::uint32_t target);
    void answered();
    void askForNextText();
    void abandon(const QString& reason);
    void finish(const ClipboardRead& result);
    // Swaps the read's window for a fresh one: an owner still sending to the old one (INCR
    // chunks, a late answer) then sends into nothing.
    void retireWindow(std::uint32_t window);
    std::uint32_t createReadWindow();

    xcb_connection_t* connection_;
    std::uint8_t xfixesFirstEvent_;
    std::array<std::uint32_t, atomCount> atoms_;
    std::uint32_t root_;
    std::uint32_t watchWindow_ = 0; // receives the XFixes notifications
    // Reads take turns on these windows, so a late answer meant for an abandoned read is never
    // taken for the current one's.
    std::array<std::uint32_t, 4> windows_{};
    std::size_t nextWindow_ = 0;
    qint64 changeCount_ = 0;
    std::optional<Read> read_;
    QTimer deadline_;
    QSocketNotifier* notifier_ = nullptr;
    bool isResumeScheduled_ = false; // events are left in the queue for the next turn
};

} // namespace quillstow::platform
