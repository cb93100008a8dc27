#include "platform/wayland/WaylandClipboard.h"

#include "ext-data-control-v1-client-protocol.h"
#include "platform/DebugLog.h"
#include "platform/wayland/WaylandConnection.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <wayland-client.h>

namespace quillstow::platform {

// Both data-control protocols have the same requests and events in the same order: one code
// path speaks either, through the interfaces of the one the compositor offers.
struct WaylandClipboard::Family
{
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    std::uint32_t maxVersion;
    std::uint32_t primarySince; // the version that brought the primary selection
};

namespace {

const WaylandClipboard::Family extFamily = {&ext_data_control_manager_v1_interface,
                                            &ext_data_control_device_v1_interface,
                                            &ext_data_control_source_v1_interface, 1, 1};
const WaylandClipboard::Family wlrFamily = {&zwlr_data_control_manager_v1_interface,
                                            &zwlr_data_control_device_v1_interface,
                                            &zwlr_data_control_source_v1_interface, 2, 2};

enum : std::uint32_t
{
    managerCreateSource = ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
    managerGetDevice = ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE,
    managerDestroy = ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY,
    deviceSetSelection = ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION,
    deviceDestroy = ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY,
    deviceSetPrimary = ZWLR_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION,
    sourceOffer = ZWLR_DATA_CONTROL_SOURCE_V1_OFFER,
    sourceDestroy = ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY,
    offerReceive = ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE,
    offerDestroy = ZWLR_DATA_CONTROL_OFFER_V1_DESTROY,
};
static_assert(managerCreateSource == EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE &&
              managerGetDevice == EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE &&
              managerDestroy == EXT_DATA_CONTROL_MANAGER_V1_DESTROY &&
              deviceSetSelection == EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION &&
              deviceDestroy == EXT_DATA_CONTROL_DEVICE_V1_DESTROY &&
              deviceSetPrimary == EXT_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION &&
              sourceOffer == EXT_DATA_CONTROL_SOURCE_V1_OFFER &&
              sourceDestroy == EXT_DATA_CONTROL_SOURCE_V1_DESTROY &&
              offerReceive == EXT_DATA_CONTROL_OFFER_V1_RECEIVE &&
              offerDestroy == EXT_DATA_CONTROL_OFFER_V1_DESTROY);

// The events, in wire order, with our own handlers.
struct DeviceListener
{
    void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
    void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
};
struct OfferListener
{
    void (*offer)(void*, wl_proxy*, const char*);
};
struct SourceListener
{
    void (*send)(void*, wl_proxy*, const char*, std::int32_t);
    void (*cancelled)(void*, wl_proxy*);
};
static_assert(sizeof(DeviceListener) == sizeof(zwlr_data_control_device_v1_listener) &&
              sizeof(DeviceListener) == sizeof(ext_data_control_device_v1_listener) &&
              sizeof(OfferListener) == sizeof(ext_data_control_offer_v1_listener) &&
              sizeof(SourceListener) == sizeof(ext_data_control_source_v1_listener));

template <typename Listener> void listen(wl_proxy* proxy, const Listener& listener, void* data)
{
    using Handlers = void (**)(void);
    wl_proxy_add_listener(proxy, reinterpret_cast<Handlers>(const_cast<Listener*>(&listener)),
                          data);
}

void destroy(wl_proxy* proxy, std::uint32_t opcode)
{
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy),
                           WL_MARSHAL_FLAG_DESTROY);
}

// The text flavours asked for, best first; the last one is Latin-1.
const std::array<QByteArray, 5> textTypes = {
    QByteArrayLiteral("text/plain;charset=utf-8"), QByteArrayLiteral("UTF8_STRING"),
    QByteArrayLiteral("text/plain"), QByteArrayLiteral("TEXT"), QByteArrayLiteral("STRING")};
const QByteArray latin1Type = QByteArrayLiteral("STRING");

std::size_t indexOf(Selection selection)
{
    return static_cast<std::size_t>(selection);
}

void closeNotified(QSocketNotifier*& notifier, int& fd)
{
    if (notifier) {
        // Perhaps inside its own signal: gone once that is over.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect(QString* error)
{
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect({}, error);
    if (!connection)
        return nullptr;
    return connect(std::shared_ptr<WaylandConnection>(std::move(connection)), error);
}

std::unique_ptr<WaylandClipboard>
WaylandClipboard::connect(std::shared_ptr<WaylandConnection> connection, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    const Family* family = nullptr;
    for (const Family* candidate : {&extFamily, &wlrFamily}) {
        if (connection->offeredVersion(candidate->manager->name) > 0) {
            family = candidate;
            break;
        }
    }
    if (!family)
        return fail(QCoreApplication::translate(
            "WaylandClipboard", "the Wayland compositor lets no program watch the clipboard "
                                "(it offers neither ext-data-control nor wlr-data-control)"));
    if (!connection->seat())
        return fail(
            QCoreApplication::translate("WaylandClipboard", "the Wayland compositor has no seat"));
    auto* manager = static_cast<wl_proxy*>(connection->bind(*family->manager, family->maxVersion));
    std::unique_ptr<WaylandClipboard> clipboard(
        new WaylandClipboard(std::move(connection), *family, manager));
    // The selections there are now arrive first, and count as no change.
    if (!clipboard->connection_->roundtrip(WaylandConnection::startTimeout))
        return fail(QCoreApplication::translate(
            "WaylandClipboard", "the Wayland compositor did not show its clipboard in time"));
    clipboard->isStarting_ = false;
    return clipboard;
}

WaylandClipboard::WaylandClipboard(std::shared_ptr<WaylandConnection> connection,
                                   const Family& family, wl_proxy* manager)
    : connection_(std::move(connection)), family_(family), manager_(manager)
{
    // A reader that closes its end before taking all of a text must not end the program.
    struct sigaction pipeAction = {};
    if (sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);

    const std::uint32_t version = wl_proxy_get_version(manager_);
    hasPrimary_ = version >= family_.primarySince;
    auto* seat = reinterpret_cast<wl_proxy*>(connection_->seat());
    device_ = wl_proxy_marshal_flags(manager_, managerGetDevice, family_.device, version, 0,
                                     nullptr, seat);
    static const DeviceListener deviceListener = {&onDataOffer, &onSelection, &onFinished,
                                                  &onPrimarySelection};
    listen(device_, deviceListener, this);
    connection_->flush();

    for (const Selection selection : {Selection::clipboard, Selection::primary}) {
        QTimer& deadline = deadlines_[indexOf(selection)];
        deadline.setSingleShot(true);
        deadline.setInterval(answerTimeout);
        QObject::connect(&deadline, &QTimer::timeout, this, [this, selection] {
            debuglog::write(QStringLiteral("WaylandClipboard: the clipboard's owner sent nothing "
                                           "for %1 ms; the read was given up")
                                .arg(answerTimeout.count()));
            finish(indexOf(selection), ClipboardRead::of(ClipboardRead::Outcome::failed));
        });
    }
}

WaylandClipboard::~WaylandClipboard()
{
    for (std::optional<Read>& read : reads_) {
        if (read)
            closeNotified(read->notifier, read->fd);
    }
    for (const std::unique_ptr<Transfer>& transfer : transfers_) {
        closeNotified(transfer->notifier, transfer->fd);
        delete transfer->stall;
    }
    // Freed here also on a lost connection, where nothing more is sent.
    for (const auto& [offer, types] : offers_)
        destroy(offer, offerDestroy);
    for (const auto& [source, text] : sources_)
        destroy(source, sourceDestroy);
    if (device_)
        destroy(device_, deviceDestroy);
    destroy(manager_, managerDestroy);
    connection_->flush();
}

void WaylandClipboard::onDataOffer(void* data, wl_proxy*, wl_proxy* offer)
{
    auto* self = static_cast<WaylandClipboard*>(data);
    static const OfferListener offerListener = {&onOfferType};
    self->offers_[offer];
    listen(offer, offerListener, self);
}

void WaylandClipboard::onOfferType(void* data, wl_proxy* offer, const char* mimeType)
{
    auto* self = static_cast<WaylandClipboard*>(data);
    self->offers_[offer].emplace_back(mimeType);
}

void WaylandClipboard::onSelection(void* data, wl_proxy*, wl_proxy* offer)
{
    static_cast<WaylandClipboard*>(data)->selectionChanged(indexOf(Selection::clipboard), offer);
}

void WaylandClipboard::onPrimarySelection(void* data, wl_proxy*, wl_proxy* offer)
{
    static_cast<WaylandClipboard*>(data)->selectionChanged(indexOf(Selection::primary), offer);
}

void WaylandClipboard::onFinished(void* data, wl_proxy* device)
{
    // The seat went away: this device hears of nothing any more.
    auto* self = static_cast<WaylandClipboard*>(data);
    debuglog::write(QStringLiteral("WaylandClipboard: the compositor ended our clipboard device "
                                   "(its seat went away); clipboard changes are no longer seen"));
    destroy(device, deviceDestroy);
    self->device_ = nullptr;
}

bool WaylandClipboard::hasType(wl_proxy* offer, const QByteArray& mimeType) const
{
    const auto found = offers_.find(offer);
    return found != offers_.end() &&
           std::find(found->second.begin(), found->second.end(), mimeType) != found->second.end();
}

void WaylandClipboard::destroyOffer(wl_proxy* offer)
{
    if (!offer || offer == current_[0] || offer == current_[1])
        return;
    offers_.erase(offer);
    destroy(offer, offerDestroy);
}

void WaylandClipboard::selectionChanged(std::size_t index, wl_proxy* offer)
{
    wl_proxy* const previous = current_[index];
    current_[index] = offer;
    if (previous != offer)
        destroyOffer(previous);
    if (isStarting_)
        return;
    // What was being read belongs to the owner before.
    if (reads_[index])
        finish(index, ClipboardRead::of(ClipboardRead::Outcome::failed));
    if (index == indexOf(Selection::primary)) {
        if (offer && changed_)
            changed_(ClipboardChange::selected);
        return;
    }
    const bool isKept = offer && hasType(offer, keptMimeType);
    isKeeping_ = isKept;
    // Our taking of an abandoned clipboard: it still offers what was there.
    if (isKept)
        return;
    ++changeCount_;
    if (changed_)
        changed_(offer ? ClipboardChange::copied : ClipboardChange::abandoned);
}

void WaylandClipboard::readText(Selection selection, ReadDone done)
{
    const std::size_t index = indexOf(selection);
    if (std::optional<Read>& earlier = reads_[index]) {
        deadlines_[index].stop();
        closeNotified(earlier->notifier, earlier->fd);
        earlier.reset();
    }
    Read& read = reads_[index].emplace();
    read.done = std::move(done);
    read.serial = ++nextSerial_;
    wl_proxy* const offer = current_[index];
    if (!offer) {
        finishLater(index, ClipboardRead::of(ClipboardRead::Outcome::noText));
        return;
    }
    // Never asked for: the owner is not even told that somebody wanted it.
    if (hasType(offer, secretHintFormat.toLatin1())) {
        finishLater(index, ClipboardRead::of(ClipboardRead::Outcome::secret));
        return;
    }
    const auto type = std::find_if(textTypes.begin(), textTypes.end(),
                                   [&](const QByteArray& t) { return hasType(offer, t); });
    if (type == textTypes.end()) {
        finishLater(index, ClipboardRead::of(ClipboardRead::Outcome::noText));
        return;
    }
    int fds[2] = {-1, -1};
    // Only our end waits for nobody: the owner may well write as if nobody else read.
    if (pipe2(fds, O_CLOEXEC) != 0 || ::fcntl(fds[0], F_SETFL, O_NONBLOCK) != 0) {
        debuglog::write(QStringLiteral("WaylandClipboard: no pipe for reading the clipboard: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        finishLater(index, ClipboardRead::of(ClipboardRead::Outcome::failed));
        return;
    }
    // libwayland sends a copy of the write end; ours is closed, so the end of the owner's
    // writing is the end of the pipe.
    wl_proxy_marshal_flags(offer, offerReceive, nullptr, wl_proxy_get_version(offer), 0,
                           type->constData(), fds[1]);
    ::close(fds[1]);
    connection_->flush();
    read.fd = fds[0];
    read.isLatin1 = *type == latin1Type;
    read.notifier = new QSocketNotifier(read.fd, QSocketNotifier::Read, this);
    QObject::connect(read.notifier, &QSocketNotifier::activated, this,
                     [this, index] { takeIn(index); });
    deadlines_[index].start();
}

void WaylandClipboard::takeIn(std::size_t index)
{
    std::optional<Read>& read = reads_[index];
    if (!read)
        return;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(read->fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            break;
        if (got < 0) {
            debuglog::write(QStringLiteral("WaylandClipboard: reading the clipboard failed: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
            finish(index, ClipboardRead::of(ClipboardRead::Outcome::failed));
            return;
        }
        if (got == 0) {
            QByteArray& bytes = read->data;
            // Some owners end their text with a C string's terminator.
            if (bytes.endsWith('\0'))
                bytes.chop(1);
            finish(index, ClipboardRead::ofText(read->isLatin1 ? QString::fromLatin1(bytes)
                                                               : QString::fromUtf8(bytes)));
            return;
        }
        if (got > maxReadBytes - read->data.size()) {
            const qsizetype bytes = read->data.size() + got;
            debuglog::write(QStringLiteral("WaylandClipboard: a read of the clipboard was given "
                                           "up at its limit of %1 bytes")
                                .arg(maxReadBytes));
            finish(index, ClipboardRead::ofSize(bytes));
            return;
        }
        read->data.append(buffer, got);
    }
    deadlines_[index].start(); // silence is counted from the last bytes
}

void WaylandClipboard::finishLater(std::size_t index, const ClipboardRead& result)
{
    QMetaObject::invokeMethod(
        this,
        [this, index, serial = reads_[index]->serial, result] {
            if (reads_[index] && reads_[index]->serial == serial)
                finish(index, result);
        },
        Qt::QueuedConnection);
}

void WaylandClipboard::finish(std::size_t index, const ClipboardRead& result)
{
    deadlines_[index].stop();
    std::optional<Read>& read = reads_[index];
    closeNotified(read->notifier, read->fd);
    ReadDone done = std::move(read->done);
    read.reset();
    if (done)
        done(result);
}

void WaylandClipboard::setText(const QString& text)
{
    offerText(Selection::clipboard, text, false);
}

void WaylandClipboard::setPrimaryText(const QString& text)
{
    offerText(Selection::primary, text, false);
}

void WaylandClipboard::keepText(const QString& text)
{
    // Somebody may have copied since the owner left; theirs stays.
    if (current_[indexOf(Selection::clipboard)])
        return;
    offerText(Selection::clipboard, text, true);
}

void WaylandClipboard::offerText(Selection selection, const QString& text, bool isKept)
{
    if (!device_ || connection_->isLost())
        return;
    if (selection == Selection::primary && !hasPrimary_)
        return;
    const std::uint32_t version = wl_proxy_get_version(manager_);
    wl_proxy* const source =
        wl_proxy_marshal_flags(manager_, managerCreateSource, family_.source, version, 0, nullptr);
    static const SourceListener sourceListener = {&onSend, &onCancelled};
    listen(source, sourceListener, this);
    for (const QByteArray& type : textTypes)
        wl_proxy_marshal_flags(source, sourceOffer, nullptr, version, 0, type.constData());
    wl_proxy_marshal_flags(source, sourceOffer, nullptr, version, 0, ownMimeType.constData());
    if (isKept)
        wl_proxy_marshal_flags(source, sourceOffer, nullptr, version, 0, keptMimeType.constData());
    sources_[source] = text.toUtf8();
    wl_proxy_marshal_flags(device_,
                           selection == Selection::primary ? deviceSetPrimary : deviceSetSelection,
                           nullptr, wl_proxy_get_version(device_), 0, source);
    connection_->flush();
}

void WaylandClipboard::onSend(void* data, wl_proxy* source, const char* mimeType, std::int32_t fd)
{
    static_cast<WaylandClipboard*>(data)->send(source, mimeType, fd);
}

void WaylandClipboard::onCancelled(void* data, wl_proxy* source)
{
    // Replaced by another selection: it is never asked for again.
    auto* self = static_cast<WaylandClipboard*>(data);
    self->sources_.erase(source);
    destroy(source, sourceDestroy);
}

void WaylandClipboard::send(wl_proxy* source, const char* mimeType, int fd)
{
    const auto found = sources_.find(source);
    const QByteArray type(mimeType);
    if (found == sources_.end() ||
        std::find(textTypes.begin(), textTypes.end(), type) == textTypes.end()) {
        ::close(fd); // our markers carry nothing
        return;
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->fd = fd;
    transfer->bytes =
        type == latin1Type ? QString::fromUtf8(found->second).toLatin1() : found->second;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Transfer* const raw = transfer.get();
    transfer->notifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    transfer->notifier->setEnabled(false);
    QObject::connect(transfer->notifier, &QSocketNotifier::activated, this,
                     [this, raw] { writeOut(raw); });
    transfer->stall = new QTimer(this);
    transfer->stall->setSingleShot(true);
    transfer->stall->setInterval(transferTimeout);
    QObject::connect(transfer->stall, &QTimer::timeout, this, [this, raw] {
        debuglog::write(QStringLiteral("WaylandClipboard: gave up sending our clipboard to a "
                                       "program that stopped taking it, after %1 of %2 bytes")
                            .arg(raw->offset)
                            .arg(raw->bytes.size()));
        endTransfer(raw);
    });
    transfers_.push_back(std::move(transfer));
    writeOut(raw);
}

void WaylandClipboard::writeOut(Transfer* transfer)
{
    while (transfer->offset < transfer->bytes.size()) {
        const ssize_t written =
            ::write(transfer->fd, transfer->bytes.constData() + transfer->offset,
                    static_cast<std::size_t>(transfer->bytes.size() - transfer->offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            transfer->notifier->setEnabled(true);
            transfer->stall->start();
            return;
        }
        if (written < 0) { // the reader closed its end: it wanted no more
            endTransfer(transfer);
            return;
        }
        transfer->offset += written;
    }
    endTransfer(transfer);
}

void WaylandClipboard::endTransfer(Transfer* transfer)
{
    closeNotified(transfer->notifier, transfer->fd);
    transfer->stall->stop();
    transfer->stall->deleteLater();
    std::erase_if(transfers_,
                  [transfer](const std::unique_ptr<Transfer>& t) { return t.get() == transfer; });
}

} // namespace quillstow::platform
