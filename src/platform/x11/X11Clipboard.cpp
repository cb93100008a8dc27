#include "platform/x11/X11Clipboard.h"

#include "platform/DebugLog.h"
#include "platform/x11/XcbSupport.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <xcb/xfixes.h>

namespace quillstow::platform {

namespace {

template <typename T> using XcbPtr = xcb::Reply<T>;

// How long one turn of the event loop may spend on X events; an owner that sends without pause
// must not keep the rest of the program waiting.
constexpr qint64 eventTurnMs = 20;

// The largest piece of a kept text sent in one property. Smaller than most servers' request
// limit: a program taking a large text then gets it in pieces it can take in while it goes on.
constexpr qsizetype maxChunkBytes = 256 * 1024;

constexpr std::uint16_t anyButtonMask = XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 |
                                        XCB_KEY_BUT_MASK_BUTTON_3 | XCB_KEY_BUT_MASK_BUTTON_4 |
                                        XCB_KEY_BUT_MASK_BUTTON_5;

std::size_t indexOf(Selection selection)
{
    return static_cast<std::size_t>(selection);
}

// Whatever is on a property of our window, removed from it as it is read (which is also what
// tells an INCR sender to go on). Waits for the X server, never for another client.
XcbPtr<xcb_get_property_reply_t> takeProperty(xcb_connection_t* c, xcb_window_t window,
                                              xcb_atom_t property)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4);
    return XcbPtr<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
}

} // namespace

std::unique_ptr<X11Clipboard> X11Clipboard::connect(const QByteArray& display, QString* error)
{
    int screenNumber = 0;
    xcb_connection_t* c =
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    const auto fail = [c, error](const QString& reason) {
        xcb_disconnect(c);
        if (error)
            *error = reason;
        return nullptr;
    };
    if (xcb_connection_has_error(c))
        return fail(QCoreApplication::translate("X11Clipboard", "no connection to the X server"));

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return fail(QCoreApplication::translate("X11Clipboard", "the X server has no screen %1")
                        .arg(screenNumber));
    const xcb_window_t root = screens.data->root;

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return fail(
            QCoreApplication::translate("X11Clipboard", "the X server lacks the XFixes extension"));
    // XFixes answers nothing else before the version is agreed.
    XcbPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!version || version->major_version < 1)
        return fail(QCoreApplication::translate("X11Clipboard",
                                                "the X server's XFixes extension is too old"));

    static const std::array<const char*, atomCount> names = {
        "CLIPBOARD",           "TARGETS",
        "TIMESTAMP",           "INCR",
        "UTF8_STRING",         "text/plain;charset=utf-8",
        "text/plain",          "x-kde-passwordManagerHint",
        "QUILLSTOW_CLIPBOARD",
    };
    std::array<xcb_intern_atom_cookie_t, atomCount> cookies{};
    for (std::size_t i = 0; i < atomCount; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    std::array<std::uint32_t, atomCount> atoms{};
    for (std::size_t i = 0; i < atomCount; ++i) {
        XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        if (!reply)
            return fail(QCoreApplication::translate(
                "X11Clipboard", "the X server did not name the clipboard's atoms"));
        atoms[i] = reply->atom;
    }
    std::unique_ptr<X11Clipboard> clipboard(new X11Clipboard(c, root, xfixes->first_event, atoms));
    const QString refusal = clipboard->watchOwnerChanges();
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return nullptr;
    }
    return clipboard;
}

X11Clipboard::X11Clipboard(xcb_connection_t* connection, std::uint32_t root,
                           std::uint8_t xfixesFirstEvent,
                           const std::array<std::uint32_t, atomCount>& atoms)
    : connection_(connection), xfixesFirstEvent_(xfixesFirstEvent), atoms_(atoms), root_(root)
{
    watchWindow_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, watchWindow_, root_, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    keeperWindow_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, keeperWindow_, root_, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    for (std::uint32_t& window : windows_)
        window = createReadWindow();
    // In 4-byte units; room is left for the request's own header.
    chunkBytes_ =
        std::min(qsizetype{4} * xcb_get_maximum_request_length(connection_) - 64, maxChunkBytes);

    for (const Selection selection : {Selection::clipboard, Selection::primary}) {
        QTimer& deadline = deadlines_[indexOf(selection)];
        deadline.setSingleShot(true);
        deadline.setInterval(answerTimeout);
        QObject::connect(&deadline, &QTimer::timeout, this, [this, selection] {
            if (std::optional<Read>& read = reads_[indexOf(selection)])
                finish(*read, ClipboardRead::of(ClipboardRead::Outcome::failed));
        });
    }
    buttonPoll_.setSingleShot(true);
    buttonPoll_.setInterval(buttonPollInterval);
    QObject::connect(&buttonPoll_, &QTimer::timeout, this, [this] {
        if (std::optional<Read>& read = reads_[indexOf(Selection::primary)])
            queryButtons(*read);
    });
    transferCheck_.setSingleShot(true);
    QObject::connect(&transferCheck_, &QTimer::timeout, this, &X11Clipboard::dropStalledTransfers);

    notifier_ =
        new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, &X11Clipboard::processEvents);
    // Events read in while the atoms were looked up wait in the connection's queue, where the
    // socket notifier cannot see them.
    QTimer::singleShot(0, this, &X11Clipboard::processEvents);
}

QString X11Clipboard::watchOwnerChanges()
{
    // Waited for, so that every change after construction is counted, even one that another
    // connection makes the very next moment.
    for (const std::uint32_t selection : {atoms_[clipboardAtom], std::uint32_t{XCB_ATOM_PRIMARY}}) {
        const xcb_void_cookie_t subscribed = xcb_xfixes_select_selection_input_checked(
            connection_, watchWindow_, selection,
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        const XcbPtr<xcb_generic_error_t> refused(xcb_request_check(connection_, subscribed));
        if (refused)
            return QCoreApplication::translate(
                       "X11Clipboard",
                       "the X server refused to report clipboard changes (X error %1)")
                .arg(refused->error_code);
    }
    if (xcb_connection_has_error(connection_))
        return QCoreApplication::translate("X11Clipboard", "the connection to the X server broke");
    return {};
}

X11Clipboard::~X11Clipboard()
{
    delete notifier_;
    xcb_disconnect(connection_);
}

void X11Clipboard::readText(Selection selection, ReadDone done)
{
    std::optional<Read>& slot = reads_[indexOf(selection)];
    deadlines_[indexOf(selection)].stop();
    if (slot) {
        if (slot->pointerQuery)
            xcb_discard_reply(connection_, *slot->pointerQuery);
        retireWindow(slot->window);
        slot.reset();
    }
    if (selection == Selection::primary)
        buttonPoll_.stop();
    // A change of owner already made is counted now, so that it is not taken for one made
    // during this read.
    processEvents();
    Read& read = slot.emplace();
    read.index = indexOf(selection);
    read.done = std::move(done);
    read.selection =
        selection == Selection::clipboard ? atoms_[clipboardAtom] : std::uint32_t{XCB_ATOM_PRIMARY};
    // The next window that no other read is using.
    while (readOnWindow(windows_[nextWindow_]))
        nextWindow_ = (nextWindow_ + 1) % windows_.size();
    read.window = windows_[nextWindow_];
    nextWindow_ = (nextWindow_ + 1) % windows_.size();
    // Whatever an earlier read left there must not pass for this one's answer.
    xcb_delete_property(connection_, read.window, atoms_[propertyAtom]);
    // A selection made with the mouse is read once the drag is over.
    if (selection == Selection::primary) {
        queryButtons(read);
        return;
    }
    // The list of flavours first: a secret is recognised by it before any text is asked for.
    request(read, atoms_[targetsAtom]);
}

void X11Clipboard::queryButtons(Read& read)
{
    read.pointerQuery = xcb_query_pointer(connection_, root_).sequence;
    xcb_flush(connection_);
}

void X11Clipboard::checkButtons()
{
    std::optional<Read>& read = reads_[indexOf(Selection::primary)];
    if (!read || !read->pointerQuery)
        return;
    void* answer = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(connection_, *read->pointerQuery, &answer, &error) == 0)
        return;
    const XcbPtr<xcb_query_pointer_reply_t> reply(static_cast<xcb_query_pointer_reply_t*>(answer));
    const XcbPtr<xcb_generic_error_t> refused(error);
    read->pointerQuery.reset();
    if (reply && (reply->mask & anyButtonMask) != 0) {
        buttonPoll_.start();
        return;
    }
    request(*read, atoms_[targetsAtom]);
}

void X11Clipboard::request(Read& read, std::uint32_t target)
{
    read.requested = target;
    read.isIncremental = false;
    read.type = XCB_NONE;
    read.format = 0;
    read.data.clear();
    read.chunks.clear();
    read.chunkBytes = 0;
    xcb_convert_selection(connection_, read.window, read.selection, target, atoms_[propertyAtom],
                          XCB_CURRENT_TIME);
    xcb_flush(connection_);
    deadlines_[read.index].start();
}

void X11Clipboard::processEvents()
{
    if (isProcessing_)
        return;
    isProcessing_ = true;
    isResumeScheduled_ = false;
    QElapsedTimer turn;
    turn.start();
    // Every event is taken here, also those that a reply read in along the way left queued.
    while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        const int type = event->response_type & 0x7f;
        if (type == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
            ownerChanged(
                *reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event.get()));
        } else if (type == XCB_SELECTION_NOTIFY) {
            handleSelectionNotify(
                *reinterpret_cast<const xcb_selection_notify_event_t*>(event.get()));
        } else if (type == XCB_PROPERTY_NOTIFY) {
            handlePropertyNotify(
                *reinterpret_cast<const xcb_property_notify_event_t*>(event.get()));
        } else if (type == XCB_SELECTION_REQUEST) {
            handleSelectionRequest(
                *reinterpret_cast<const xcb_selection_request_event_t*>(event.get()));
        } else if (type == XCB_SELECTION_CLEAR) {
            // Another program copied: what it offers is read on its own change.
            isKeeping_ = false;
            kept_.clear();
        }
        // The socket notifier does not see what is left in the connection's queue.
        if (turn.elapsed() >= eventTurnMs) {
            if (!isResumeScheduled_) {
                isResumeScheduled_ = true;
                QTimer::singleShot(0, this, &X11Clipboard::processEvents);
            }
            break;
        }
    }
    // Read in with the events, where the socket notifier cannot see it any more.
    checkButtons();
    isProcessing_ = false;
    // A lost server leaves a pending read to its deadline.
    if (xcb_connection_has_error(connection_))
        notifier_->setEnabled(false);
}

void X11Clipboard::ownerChanged(const xcb_xfixes_selection_notify_event_t& event)
{
    const bool isClipboard = event.selection == atoms_[clipboardAtom];
    if (!isClipboard && event.selection != XCB_ATOM_PRIMARY)
        return;
    lastChangeTime_ = event.timestamp;
    // Our own taking of the clipboard: it still offers what was read last.
    if (isClipboard && event.owner == keeperWindow_)
        return;
    if (isClipboard) {
        ++changeCount_;
        isKeeping_ = false;
        kept_.clear();
    }
    // The server reports the new owner before anything that owner sends us, so what this read
    // has or is about to get may come from either of them: an ordinary text's list of flavours
    // and then a password manager's secret text, for one.
    if (std::optional<Read>& read =
            reads_[indexOf(isClipboard ? Selection::clipboard : Selection::primary)])
        finish(*read, ClipboardRead::of(ClipboardRead::Outcome::failed));
    if (!changed_)
        return;
    const bool isAbandoned = event.subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER;
    if (isClipboard)
        changed_(isAbandoned ? ClipboardChange::abandoned : ClipboardChange::copied);
    else if (event.owner != XCB_NONE)
        changed_(ClipboardChange::selected);
}

X11Clipboard::Read* X11Clipboard::readOnWindow(std::uint32_t window)
{
    for (std::optional<Read>& read : reads_) {
        if (read && read->window == window)
            return &*read;
    }
    return nullptr;
}

void X11Clipboard::handleSelectionNotify(const xcb_selection_notify_event_t& event)
{
    Read* const read = readOnWindow(event.requestor);
    if (!read || read->isIncremental || event.selection != read->selection ||
        event.target != read->requested)
        return;
    if (event.property == XCB_NONE) {
        // Refused. An owner without a TARGETS list may still give text when asked directly.
        if (read->requested == atoms_[targetsAtom])
            read->candidates = {atoms_[utf8StringAtom], XCB_ATOM_STRING};
        askForNextText(*read);
        return;
    }
    XcbPtr<xcb_get_property_reply_t> reply =
        takeProperty(connection_, read->window, event.property);
    if (!reply) {
        finish(*read, ClipboardRead::of(ClipboardRead::Outcome::failed));
        return;
    }
    if (reply->type == atoms_[incrAtom]) {
        // The size announced is a lower bound; an owner may also announce nothing useful.
        if (reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            std::uint32_t announced = 0;
            std::memcpy(&announced, xcb_get_property_value(reply.get()), sizeof announced);
            if (announced > std::uint64_t(maxReadBytes)) {
                tooLarge(*read, announced,
                         QStringLiteral("the owner announced %1 bytes").arg(announced));
                return;
            }
        }
        // Taking the property away asked the owner for the first chunk.
        read->isIncremental = true;
        deadlines_[read->index].start();
        return;
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (length > maxReadBytes) {
        tooLarge(*read, length, QStringLiteral("the owner sent %1 bytes at once").arg(length));
        return;
    }
    read->type = reply->type;
    read->format = reply->format;
    read->data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
    answered(*read);
}

void X11Clipboard::handlePropertyNotify(const xcb_property_notify_event_t& event)
{
    if (event.state == XCB_PROPERTY_DELETE) {
        // A program taking a kept text in chunks took the last one.
        for (Transfer& transfer : transfers_) {
            if (transfer.requestor == event.window && transfer.property == event.atom) {
                sendChunk(transfer);
                return;
            }
        }
        return;
    }
    Read* const read = readOnWindow(event.window);
    if (!read || !read->isIncremental || event.atom != atoms_[propertyAtom])
        return;
    XcbPtr<xcb_get_property_reply_t> reply =
        takeProperty(connection_, read->window, atoms_[propertyAtom]);
    if (!reply) {
        finish(*read, ClipboardRead::of(ClipboardRead::Outcome::failed));
        return;
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (read->type == XCB_NONE || length > 0) {
        read->type = reply->type;
        read->format = reply->format;
    }
    if (length == 0) { // the closing empty chunk
        read->isIncremental = false;
        read->data.reserve(read->chunkBytes);
        for (const QByteArray& chunk : read->chunks)
            read->data.append(chunk);
        read->chunks.clear();
        answered(*read);
        return;
    }
    if (length > maxReadBytes - read->chunkBytes) {
        tooLarge(*read, read->chunkBytes + length,
                 QStringLiteral("the owner sent more than %1 bytes").arg(maxReadBytes));
        return;
    }
    // Kept apart until the end: growing one buffer copies all that came before, which holds up
    // the event loop for longer and longer as the text grows.
    read->chunks.emplace_back(static_cast<const char*>(xcb_get_property_value(reply.get())),
                              length);
    read->chunkBytes += length;
    deadlines_[read->index].start();
}

void X11Clipboard::answered(Read& read)
{
    if (read.requested == atoms_[targetsAtom]) {
        if (read.format != 32) {
            read.candidates = {atoms_[utf8StringAtom], XCB_ATOM_STRING};
            askForNextText(read);
            return;
        }
        // Copied one by one: the bytes need not be aligned for 32-bit reads, and an empty list
        // has no storage to copy into.
        std::vector<std::uint32_t> offered(static_cast<std::size_t>(read.data.size()) / 4);
        for (std::size_t i = 0; i < offered.size(); ++i)
            std::memcpy(&offered[i], read.data.constData() + i * 4, 4);
        const auto isOffered = [&offered](std::uint32_t atom) {
            return std::find(offered.begin(), offered.end(), atom) != offered.end();
        };
        if (isOffered(atoms_[secretHintAtom])) {
            finish(read, ClipboardRead::of(ClipboardRead::Outcome::secret));
            return;
        }
        for (std::uint32_t target : {atoms_[utf8StringAtom], atoms_[textPlainUtf8Atom],
                                     std::uint32_t{XCB_ATOM_STRING}, atoms_[textPlainAtom]}) {
            if (isOffered(target))
                read.candidates.push_back(target);
        }
        askForNextText(read);
        return;
    }

    if (read.format != 8) {
        askForNextText(read);
        return;
    }
    QByteArray& bytes = read.data;
    // Some owners end their text with a C string's terminator.
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    const bool isLatin1 = read.requested == XCB_ATOM_STRING || read.type == XCB_ATOM_STRING;
    finish(read,
           ClipboardRead::ofText(isLatin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes)));
}

void X11Clipboard::askForNextText(Read& read)
{
    if (read.candidates.empty()) {
        finish(read, ClipboardRead::of(ClipboardRead::Outcome::noText));
        return;
    }
    const std::uint32_t target = read.candidates.front();
    read.candidates.erase(read.candidates.begin());
    request(read, target);
}

void X11Clipboard::tooLarge(Read& read, qsizetype bytes, const QString& reason)
{
    debuglog::write(QStringLiteral("X11Clipboard: a read of the clipboard was given up at its "
                                   "limit of %1 bytes: %2")
                        .arg(maxReadBytes)
                        .arg(reason));
    finish(read, ClipboardRead::ofSize(bytes));
}

void X11Clipboard::finish(Read& read, const ClipboardRead& result)
{
    deadlines_[read.index].stop();
    if (read.index == indexOf(Selection::primary)) {
        buttonPoll_.stop();
        if (read.pointerQuery)
            xcb_discard_reply(connection_, *read.pointerQuery);
    }
    if (result.outcome == ClipboardRead::Outcome::failed ||
        result.outcome == ClipboardRead::Outcome::tooLarge)
        retireWindow(read.window);
    ReadDone done = std::move(read.done);
    reads_[read.index].reset();
    if (done)
        done(result);
}

void X11Clipboard::keepText(const QString& text)
{
    // Taken at the time of the owner's leaving: a program that has copied since keeps the
    // clipboard, as the server refuses a taking older than the last change.
    kept_ = text.toUtf8();
    keptSince_ = lastChangeTime_;
    isKeeping_ = true;
    xcb_set_selection_owner(connection_, keeperWindow_, atoms_[clipboardAtom], keptSince_);
    xcb_flush(connection_);
}

void X11Clipboard::handleSelectionRequest(const xcb_selection_request_event_t& event)
{
    // An old client names no property: the target's own name stands for it.
    const std::uint32_t property = event.property == XCB_NONE ? event.target : event.property;
    const bool isOurs = isKeeping_ && event.owner == keeperWindow_ &&
                        event.selection == atoms_[clipboardAtom] &&
                        (event.time == XCB_CURRENT_TIME || event.time >= keptSince_);
    const bool isServed = isOurs && serve(event.requestor, property, event.target);
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = event.time;
    notify.requestor = event.requestor;
    notify.selection = event.selection;
    notify.target = event.target;
    notify.property = isServed ? property : std::uint32_t{XCB_NONE};
    xcb_send_event(connection_, 0, event.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(connection_);
}

bool X11Clipboard::serve(std::uint32_t requestor, std::uint32_t property, std::uint32_t target)
{
    if (target == atoms_[targetsAtom]) {
        const std::array<std::uint32_t, 5> targets = {atoms_[targetsAtom], atoms_[timestampAtom],
                                                      atoms_[utf8StringAtom],
                                                      atoms_[textPlainUtf8Atom], XCB_ATOM_STRING};
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM,
                            32, static_cast<std::uint32_t>(targets.size()), targets.data());
        return true;
    }
    if (target == atoms_[timestampAtom]) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &keptSince_);
        return true;
    }
    QByteArray bytes;
    if (target == atoms_[utf8StringAtom] || target == atoms_[textPlainUtf8Atom])
        bytes = kept_;
    else if (target == XCB_ATOM_STRING)
        bytes = QString::fromUtf8(kept_).toLatin1(); // '?' for what Latin-1 lacks, as Qt does
    else
        return false;
    if (bytes.size() <= chunkBytes_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, target, 8,
                            static_cast<std::uint32_t>(bytes.size()), bytes.constData());
        return true;
    }
    // In chunks: each one once the requestor has taken the one before off its property.
    if (!isOwnWindow(requestor)) {
        const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &eventMask);
    }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, atoms_[incrAtom],
                        32, 1, &size);
    Transfer& transfer = transfers_.emplace_back();
    transfer.requestor = requestor;
    transfer.property = property;
    transfer.type = target;
    transfer.bytes = bytes;
    transfer.idle.start();
    if (!transferCheck_.isActive())
        transferCheck_.start(transferTimeout);
    return true;
}

void X11Clipboard::sendChunk(Transfer& transfer)
{
    const qsizetype length = std::min(chunkBytes_, transfer.bytes.size() - transfer.offset);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                        transfer.type, 8, static_cast<std::uint32_t>(length),
                        transfer.bytes.constData() + transfer.offset);
    transfer.offset += length;
    transfer.idle.start();
    if (length == 0) { // the closing empty chunk has gone out
        const std::uint32_t requestor = transfer.requestor;
        transfers_.erase(transfers_.begin() + (&transfer - transfers_.data()));
        stopWatching(requestor);
    }
    xcb_flush(connection_);
}

void X11Clipboard::dropStalledTransfers()
{
    for (auto it = transfers_.begin(); it != transfers_.end();) {
        if (it->idle.elapsed() < transferTimeout.count()) {
            ++it;
            continue;
        }
        debuglog::write(QStringLiteral("X11Clipboard: gave up sending the kept clipboard to a "
                                       "program that stopped taking it, after %1 of %2 bytes")
                            .arg(it->offset)
                            .arg(it->bytes.size()));
        const std::uint32_t requestor = it->requestor;
        it = transfers_.erase(it);
        stopWatching(requestor);
    }
    xcb_flush(connection_);
    // Again when the next one would have been idle for the whole time.
    qint64 longestIdle = -1;
    for (const Transfer& transfer : transfers_)
        longestIdle = std::max(longestIdle, transfer.idle.elapsed());
    if (longestIdle >= 0)
        transferCheck_.start(std::chrono::milliseconds(transferTimeout.count() - longestIdle + 1));
}

void X11Clipboard::stopWatching(std::uint32_t requestor)
{
    const bool isStillSending =
        std::any_of(transfers_.begin(), transfers_.end(),
                    [requestor](const Transfer& t) { return t.requestor == requestor; });
    if (isStillSending || isOwnWindow(requestor))
        return;
    const std::uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &noEvents);
}

bool X11Clipboard::isOwnWindow(std::uint32_t window) const
{
    return window == watchWindow_ || window == keeperWindow_ ||
           std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void X11Clipboard::retireWindow(std::uint32_t window)
{
    const auto slot = std::find(windows_.begin(), windows_.end(), window);
    if (slot == windows_.end())
        return;
    xcb_destroy_window(connection_, window);
    *slot = createReadWindow();
    xcb_flush(connection_);
}

std::uint32_t X11Clipboard::createReadWindow()
{
    // Never mapped; it only receives an owner's answers as properties.
    const std::uint32_t window = xcb_generate_id(connection_);
    const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &eventMask);
    return window;
}

} // namespace quillstow::platform
