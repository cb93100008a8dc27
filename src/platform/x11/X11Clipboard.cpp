#include "platform/x11/X11Clipboard.h"

#include "platform/DebugLog.h"
#include "platform/x11/XcbSupport.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace quillstow::platform {

namespace {

template <typename T> using XcbPtr = xcb::Reply<T>;

// How long one turn of the event loop may spend on X events; an owner that sends without pause
// must not keep the rest of the program waiting.
constexpr qint64 eventTurnMs = 20;

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
        return fail(QStringLiteral("no connection to the X server"));

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return fail(QStringLiteral("the X server has no screen %1").arg(screenNumber));
    const xcb_window_t root = screens.data->root;

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return fail(QStringLiteral("the X server lacks the XFixes extension"));
    // XFixes answers nothing else before the version is agreed.
    XcbPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!version || version->major_version < 1)
        return fail(QStringLiteral("the X server's XFixes extension is too old"));

    static const std::array<const char*, atomCount> names = {
        "CLIPBOARD",
        "TARGETS",
        "INCR",
        "UTF8_STRING",
        "text/plain;charset=utf-8",
        "text/plain",
        "x-kde-passwordManagerHint",
        "QUILLSTOW_CLIPBOARD",
    };
    std::array<xcb_intern_atom_cookie_t, atomCount> cookies{};
    for (std::size_t i = 0; i < atomCount; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    std::array<std::uint32_t, atomCount> atoms{};
    for (std::size_t i = 0; i < atomCount; ++i) {
        XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        if (!reply)
            return fail(QStringLiteral("the X server did not name the clipboard's atoms"));
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
    for (std::uint32_t& window : windows_)
        window = createReadWindow();

    deadline_.setSingleShot(true);
    deadline_.setInterval(answerTimeout);
    QObject::connect(&deadline_, &QTimer::timeout, this, [this] {
        if (read_)
            finish(ClipboardRead::of(ClipboardRead::Outcome::failed));
    });

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
    const xcb_void_cookie_t subscribed = xcb_xfixes_select_selection_input_checked(
        connection_, watchWindow_, atoms_[clipboardAtom],
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    const XcbPtr<xcb_generic_error_t> refused(xcb_request_check(connection_, subscribed));
    if (refused)
        return QStringLiteral("the X server refused to report clipboard changes (X error %1)")
            .arg(refused->error_code);
    if (xcb_connection_has_error(connection_))
        return QStringLiteral("the connection to the X server broke");
    return {};
}

X11Clipboard::~X11Clipboard()
{
    delete notifier_;
    xcb_disconnect(connection_);
}

void X11Clipboard::readText(ReadDone done)
{
    deadline_.stop();
    if (read_) {
        retireWindow(read_->window);
        read_.reset();
    }
    // A change of owner already made is counted now, so that it is not taken for one made
    // during this read.
    processEvents();
    read_.emplace();
    read_->done = std::move(done);
    read_->window = windows_[nextWindow_];
    nextWindow_ = (nextWindow_ + 1) % windows_.size();
    // Whatever an earlier read left there must not pass for this one's answer.
    xcb_delete_property(connection_, read_->window, atoms_[propertyAtom]);
    // The list of flavours first: a secret is recognised by it before any text is asked for.
    request(atoms_[targetsAtom]);
}

void X11Clipboard::request(std::uint32_t target)
{
    read_->requested = target;
    read_->isIncremental = false;
    read_->type = XCB_NONE;
    read_->format = 0;
    read_->data.clear();
    read_->chunks.clear();
    read_->chunkBytes = 0;
    xcb_convert_selection(connection_, read_->window, atoms_[clipboardAtom], target,
                          atoms_[propertyAtom], XCB_CURRENT_TIME);
    xcb_flush(connection_);
    deadline_.start();
}

void X11Clipboard::processEvents()
{
    isResumeScheduled_ = false;
    QElapsedTimer turn;
    turn.start();
    // Every event is taken here, also those that a reply read in along the way left queued.
    while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        const int type = event->response_type & 0x7f;
        if (type == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto* notify =
                reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event.get());
            if (notify->selection == atoms_[clipboardAtom])
                ownerChanged();
        } else if (type == XCB_SELECTION_NOTIFY) {
            handleSelectionNotify(
                *reinterpret_cast<const xcb_selection_notify_event_t*>(event.get()));
        } else if (type == XCB_PROPERTY_NOTIFY) {
            handlePropertyNotify(
                *reinterpret_cast<const xcb_property_notify_event_t*>(event.get()));
        }
        // The socket notifier does not see what is left in the connection's queue.
        if (turn.elapsed() >= eventTurnMs) {
            if (!isResumeScheduled_) {
                isResumeScheduled_ = true;
                QTimer::singleShot(0, this, &X11Clipboard::processEvents);
            }
            return;
        }
    }
    // A lost server leaves a pending read to its deadline.
    if (xcb_connection_has_error(connection_))
        notifier_->setEnabled(false);
}

void X11Clipboard::ownerChanged()
{
    ++changeCount_;
    // The server reports the new owner before anything that owner sends us, so what this read
    // has or is about to get may come from either of them: an ordinary text's list of flavours
    // and then a password manager's secret text, for one.
    if (read_)
        finish(ClipboardRead::of(ClipboardRead::Outcome::failed));
}

void X11Clipboard::handleSelectionNotify(const xcb_selection_notify_event_t& event)
{
    if (!read_ || read_->isIncremental || event.requestor != read_->window ||
        event.selection != atoms_[clipboardAtom] || event.target != read_->requested)
        return;
    if (event.property == XCB_NONE) {
        // Refused. An owner without a TARGETS list may still give text when asked directly.
        if (read_->requested == atoms_[targetsAtom])
            read_->candidates = {atoms_[utf8StringAtom], XCB_ATOM_STRING};
        askForNextText();
        return;
    }
    XcbPtr<xcb_get_property_reply_t> reply =
        takeProperty(connection_, read_->window, event.property);
    if (!reply) {
        finish(ClipboardRead::of(ClipboardRead::Outcome::failed));
        return;
    }
    if (reply->type == atoms_[incrAtom]) {
        // The size announced is a lower bound; an owner may also announce nothing useful.
        if (reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4) {
            std::uint32_t announced = 0;
            std::memcpy(&announced, xcb_get_property_value(reply.get()), sizeof announced);
            if (announced > std::uint64_t(maxReadBytes)) {
                abandon(QStringLiteral("the owner announced %1 bytes").arg(announced));
                return;
            }
        }
        // Taking the property away asked the owner for the first chunk.
        read_->isIncremental = true;
        deadline_.start();
        return;
    }
    if (xcb_get_property_value_length(reply.get()) > maxReadBytes) {
        abandon(QStringLiteral("the owner sent %1 bytes at once")
                    .arg(xcb_get_property_value_length(reply.get())));
        return;
    }
    read_->type = reply->type;
    read_->format = reply->format;
    read_->data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
    answered();
}

void X11Clipboard::handlePropertyNotify(const xcb_property_notify_event_t& event)
{
    if (!read_ || !read_->isIncremental || event.window != read_->window ||
        event.atom != atoms_[propertyAtom] || event.state != XCB_PROPERTY_NEW_VALUE)
        return;
    XcbPtr<xcb_get_property_reply_t> reply =
        takeProperty(connection_, read_->window, atoms_[propertyAtom]);
    if (!reply) {
        finish(ClipboardRead::of(ClipboardRead::Outcome::failed));
        return;
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (read_->type == XCB_NONE || length > 0) {
        read_->type = reply->type;
        read_->format = reply->format;
    }
    if (length == 0) { // the closing empty chunk
        read_->isIncremental = false;
        read_->data.reserve(read_->chunkBytes);
        for (const QByteArray& chunk : read_->chunks)
            read_->data.append(chunk);
        read_->chunks.clear();
        answered();
        return;
    }
    if (length > maxReadBytes - read_->chunkBytes) {
        abandon(QStringLiteral("the owner sent more than %1 bytes").arg(maxReadBytes));
        return;
    }
    // Kept apart until the end: growing one buffer copies all that came before, which holds up
    // the event loop for longer and longer as the text grows.
    read_->chunks.emplace_back(static_cast<const char*>(xcb_get_property_value(reply.get())),
                               length);
    read_->chunkBytes += length;
    deadline_.start();
}

void X11Clipboard::answered()
{
    if (read_->requested == atoms_[targetsAtom]) {
        if (read_->format != 32) {
            read_->candidates = {atoms_[utf8StringAtom], XCB_ATOM_STRING};
            askForNextText();
            return;
        }
        // Copied one by one: the bytes need not be aligned for 32-bit reads, and an empty list
        // has no storage to copy into.
        std::vector<std::uint32_t> offered(static_cast<std::size_t>(read_->data.size()) / 4);
        for (std::size_t i = 0; i < offered.size(); ++i)
            std::memcpy(&offered[i], read_->data.constData() + i * 4, 4);
        const auto isOffered = [&offered](std::uint32_t atom) {
            return std::find(offered.begin(), offered.end(), atom) != offered.end();
        };
        if (isOffered(atoms_[secretHintAtom])) {
            finish(ClipboardRead::of(ClipboardRead::Outcome::secret));
            return;
        }
        for (std::uint32_t target : {atoms_[utf8StringAtom], atoms_[textPlainUtf8Atom],
                                     std::uint32_t{XCB_ATOM_STRING}, atoms_[textPlainAtom]}) {
            if (isOffered(target))
                read_->candidates.push_back(target);
        }
        askForNextText();
        return;
    }

    if (read_->format != 8) {
        askForNextText();
        return;
    }
    QByteArray& bytes = read_->data;
    // Some owners end their text with a C string's terminator.
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    const bool isLatin1 = read_->requested == XCB_ATOM_STRING || read_->type == XCB_ATOM_STRING;
    finish(ClipboardRead::ofText(isLatin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes)));
}

void X11Clipboard::askForNextText()
{
    if (read_->candidates.empty()) {
        finish(ClipboardRead::of(ClipboardRead::Outcome::noText));
        return;
    }
    const std::uint32_t target = read_->candidates.front();
    read_->candidates.erase(read_->candidates.begin());
    request(target);
}

void X11Clipboard::abandon(const QString& reason)
{
    debuglog::write(QStringLiteral("X11Clipboard: a read of the clipboard was given up at its "
                                   "limit of %1 bytes: %2")
                        .arg(maxReadBytes)
                        .arg(reason));
    finish(ClipboardRead::of(ClipboardRead::Outcome::failed));
}

void X11Clipboard::finish(const ClipboardRead& result)
{
    deadline_.stop();
    if (result.outcome == ClipboardRead::Outcome::failed)
        retireWindow(read_->window);
    ReadDone done = std::move(read_->done);
    read_.reset();
    if (done)
        done(result);
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
