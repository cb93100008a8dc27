#pragma once

#include "platform/Clipboard.h"
#include "platform/ClipboardWriter.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
struct wl_proxy;

namespace quillstow::platform {

class WaylandConnection;

// The clipboard and the primary selection of a Wayland seat, through the compositor's
// data-control protocol (ext-data-control, else wlr-data-control): every change of selection
// arrives as an event, with no window and no focus of ours.
//
// Reads go through the owner's pipe, never waiting on it: the bytes are taken from the event
// loop as they come, and an owner silent for `answerTimeout` is given up, as is a text over
// `maxReadBytes`. An offer marked by a password manager is never asked for its text.
//
// Our own texts (setText, setPrimaryText, keepText) are served from data-control sources, the
// bytes written as the reader takes them. Their offers carry `ownMimeType`, so that they are
// known when they come back as selection events.
class WaylandClipboard final : public QObject, public Clipboard, public ClipboardWriter
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds answerTimeout{1000};
    // A reader that stops taking one of our texts is given up after this long.
    static constexpr std::chrono::milliseconds transferTimeout{5000};
    static constexpr qsizetype maxReadBytes = maxTextBytes;
    // In every offer of ours; another marks the texts kept after their owner quit.
    static inline const QByteArray ownMimeType = QByteArrayLiteral("application/x-quillstow-own");
    static inline const QByteArray keptMimeType = QByteArrayLiteral("application/x-quillstow-kept");

    // On a connection of its own to $WAYLAND_DISPLAY; nothing, with the reason in `error`, when
    // there is no compositor or it offers no data-control.
    static std::unique_ptr<WaylandClipboard> connect(QString* error = nullptr);
    static std::unique_ptr<WaylandClipboard> connect(std::shared_ptr<WaylandConnection> connection,
                                                     QString* error = nullptr);
    ~WaylandClipboard() override;

    qint64 changeCount() const override { return changeCount_; }
    void setChangeListener(ChangeListener changed) override { changed_ = std::move(changed); }
    void readText(Selection selection, ReadDone done) override;
    void keepText(const QString& text) override;
    void setText(const QString& text) override;
    void setPrimaryText(const QString& text) override;

    // Whether a kept text is the clipboard now.
    bool isKeeping() const { return isKeeping_; }
    // Our texts still offered, and still being written to a reader.
    std::size_t liveSources() const { return sources_.size(); }
    std::size_t liveTransfers() const { return transfers_.size(); }
    WaylandConnection& connection() const { return *connection_; }

    struct Family; // which data-control protocol, and its interfaces

private:
    struct Read
    {
        ReadDone done;
        quint64 serial = 0;
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
        QByteArray data;
        bool isLatin1 = false;
    };
    // One of our texts on its way to a reader.
    struct Transfer
    {
        int fd = -1;
        QByteArray bytes;
        qsizetype offset = 0;
        QSocketNotifier* notifier = nullptr;
        QTimer* stall = nullptr;
    };

    WaylandClipboard(std::shared_ptr<WaylandConnection> connection, const Family& family,
                     wl_proxy* manager);

    void offerText(Selection selection, const QString& text, bool isKept);
    void selectionChanged(std::size_t index, wl_proxy* offer);
    void takeIn(std::size_t index);
    void finish(std::size_t index, const ClipboardRead& result);
    void finishLater(std::size_t index, const ClipboardRead& result);
    void send(wl_proxy* source, const char* mimeType, int fd);
    void writeOut(Transfer* transfer);
    void endTransfer(Transfer* transfer);
    void destroyOffer(wl_proxy* offer);
    bool hasType(wl_proxy* offer, const QByteArray& mimeType) const;

    static void onDataOffer(void* data, wl_proxy* device, wl_proxy* offer);
    static void onSelection(void* data, wl_proxy* device, wl_proxy* offer);
    static void onFinished(void* data, wl_proxy* device);
    static void onPrimarySelection(void* data, wl_proxy* device, wl_proxy* offer);
    static void onOfferType(void* data, wl_proxy* offer, const char* mimeType);
    static void onSend(void* data, wl_proxy* source, const char* mimeType, std::int32_t fd);
    static void onCancelled(void* data, wl_proxy* source);

    std::shared_ptr<WaylandConnection> connection_;
    const Family& family_;
    wl_proxy* manager_;
    wl_proxy* device_ = nullptr;
    bool hasPrimary_ = false;
    bool isStarting_ = true; // the selections found at start are no change
    std::map<wl_proxy*, std::vector<QByteArray>> offers_; // each offer's MIME types
    std::array<wl_proxy*, 2> current_{};                  // by Selection
    std::map<wl_proxy*, QByteArray> sources_;             // ours, with their UTF-8 text
    std::vector<std::unique_ptr<Transfer>> transfers_;
    std::array<std::optional<Read>, 2> reads_;
    std::array<QTimer, 2> deadlines_;
    quint64 nextSerial_ = 0;
    qint64 changeCount_ = 0;
    ChangeListener changed_;
    bool isKeeping_ = false;
};

} // namespace quillstow::platform
