#pragma once

#include "platform/Clipboard.h"

#include <QByteArray>
#include <QElapsedTimer>
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
struct xcb_selection_request_event_t;
struct xcb_property_notify_event_t;
struct xcb_xfixes_selection_notify_event_t;

namespace quillstow::platform {

// The CLIPBOARD and PRIMARY selections, on a connection of its own to the X server.
//
// XFixes tells when a selection gets a new owner or loses its owner; the listener hears of it at
// once, and the change count grows with every such change of the clipboard. Reads never wait on
// the owning program: the request goes out, the answer is handled from the event loop when it
// comes (large texts arrive in INCR chunks), and a read whose owner stays silent for
// `answerTimeout` is given up. A read whose selection changes hands before it is done is
// dropped: what it has is partly the old owner's, and the new owner's change is read on its own.
//
// A kept text is served from a window of this connection, as any owner serves its selection,
// until another program copies.
class X11Clipboard final : public QObject, public Clipboard
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds answerTimeout{1000};
    // A program that takes a kept text in chunks and then stops taking them is given up after
    // this long.
    static constexpr std::chrono::milliseconds transferTimeout{5000};
    // How often the mouse buttons are looked at while one is held before a selection is read.
    static constexpr std::chrono::milliseconds buttonPollInterval{100};
    // The most one read takes in; a larger text, or an owner that never stops sending, is given
    // up there.
    static constexpr qsizetype maxReadBytes = maxTextBytes;

    // Connects to `display` ($DISPLAY when empty); nothing, with the reason in `error`, when
    // there is no usable X server or it cannot tell when the clipboard changes.
    static std::unique_ptr<X11Clipboard> connect(const QByteArray& display = {},
                                                 QString* error = nullptr);
    ~X11Clipboard() override;

    qint64 changeCount() const override { return changeCount_; }
    void setChangeListener(ChangeListener changed) override { changed_ = std::move(changed); }
    void readText(Selection selection, ReadDone done) override;
    void keepText(const QString& text) override;

    // Whether a kept text is being offered now.
    bool isKeeping() const { return isKeeping_; }

private:
    enum Atom : std::size_t
    {
        clipboardAtom,
        targetsAtom,
        timestampAtom,
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
        std::size_t index = 0;       // of the Selection read
        std::uint32_t selection = 0; // the selection's atom
        std::uint32_t window = 0;
        std::optional<unsigned> pointerQuery;  // waiting for the mouse buttons' state
        std::vector<std::uint32_t> candidates; // text targets still to try, best first
        std::uint32_t requested = 0;           // the target asked for last
        bool isIncremental = false;            // the answer is coming in INCR chunks
        std::uint32_t type = 0;                // the answer's property type
        std::uint8_t format = 0;
        QByteArray data;
        std::vector<QByteArray> chunks; // INCR chunks so far
        qsizetype chunkBytes = 0;
    };

    // A kept text on its way to a program that takes it in chunks.
    struct Transfer
    {
        std::uint32_t requestor = 0;
        std::uint32_t property = 0;
        std::uint32_t type = 0;
        QByteArray bytes;
        qsizetype offset = 0;
        QElapsedTimer idle;
    };

    X11Clipboard(xcb_connection_t* connection, std::uint32_t root, std::uint8_t xfixesFirstEvent,
                 const std::array<std::uint32_t, atomCount>& atoms);

    // Subscribes to the selections' changes of owner; the X server's refusal when it refuses.
    QString watchOwnerChanges();
    void processEvents();
    void ownerChanged(const xcb_xfixes_selection_notify_event_t& event);
    void handleSelectionNotify(const xcb_selection_notify_event_t& event);
    void handlePropertyNotify(const xcb_property_notify_event_t& event);
    void handleSelectionRequest(const xcb_selection_request_event_t& event);
    bool serve(std::uint32_t requestor, std::uint32_t property, std::uint32_t target);
    void sendChunk(Transfer& transfer);
    void dropStalledTransfers();
    void stopWatching(std::uint32_t requestor);
    void queryButtons(Read& read);
    void checkButtons();
    void request(Read& read, std::uint32_t target);
    void answered(Read& read);
    void askForNextText(Read& read);
    void tooLarge(Read& read, qsizetype bytes, const QString& reason);
    void finish(Read& read, const ClipboardRead& result);
    Read* readOnWindow(std::uint32_t window);
    bool isOwnWindow(std::uint32_t window) const;
    // Swaps the read's window for a fresh one: an owner still sending to the old one (INCR
    // chunks, a late answer) then sends into nothing.
    void retireWindow(std::uint32_t window);
    std::uint32_t createReadWindow();

    xcb_connection_t* connection_;
    std::uint8_t xfixesFirstEvent_;
    std::array<std::uint32_t, atomCount> atoms_;
    std::uint32_t root_;
    std::uint32_t watchWindow_ = 0;  // receives the XFixes notifications
    std::uint32_t keeperWindow_ = 0; // owns the clipboard while a text is kept
    // Reads take turns on these windows, so a late answer meant for an abandoned read is never
    // taken for the current one's.
    std::array<std::uint32_t, 4> windows_{};
    std::size_t nextWindow_ = 0;
    qint64 changeCount_ = 0;
    ChangeListener changed_;
    std::array<std::optional<Read>, 2> reads_; // by Selection
    std::array<QTimer, 2> deadlines_;
    QTimer buttonPoll_;
    std::uint32_t lastChangeTime_ = 0; // the server's time at the last change of owner
    bool isKeeping_ = false;
    QByteArray kept_; // UTF-8
    std::uint32_t keptSince_ = 0;
    std::vector<Transfer> transfers_;
    QTimer transferCheck_;
    qsizetype chunkBytes_ = 0; // larger texts go in INCR chunks of this size
    QSocketNotifier* notifier_ = nullptr;
    bool isProcessing_ = false;
    bool isResumeScheduled_ = false; // events are left in the queue for the next turn
};

} // namespace quillstow::platform
