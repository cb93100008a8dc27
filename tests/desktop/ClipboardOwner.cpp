// clipboard_owner: a clipboard owner for the desktop tests, for what xclip cannot do.
//
//   clipboard_owner [--text TEXT | --text-file PATH] [--secret VALUE] [--chunk BYTES]
//                   [--stall-after CHUNKS] [--silent] [--late-targets] [--endless]
//                   [--no-targets-listed]
//
// Takes the CLIPBOARD selection and serves the text as UTF8_STRING and text/plain;charset=utf-8
// until another program takes the selection or it is ended.
//   --secret VALUE  also offers the password managers' x-kde-passwordManagerHint flavour
//   --chunk BYTES   sends texts longer than BYTES in INCR chunks of BYTES (default 262144)
//   --stall-after CHUNKS  sends that many INCR chunks and then nothing more
//   --silent        takes the selection and never answers a request
//   --late-targets  answers TARGETS only once another program has taken the selection
//   --endless       sends the text as INCR chunks of filler that never end
//   --no-targets-listed  answers TARGETS with an empty list
// Prints "ready" once it owns the selection, "served NAME" / "refused NAME" for each request,
// "held TARGETS" for a request kept for later and "sent a chunk" for each chunk sent endlessly.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct Transfer
{
    xcb_atom_t type = XCB_NONE;
    std::size_t offset = 0;
    std::size_t chunksSent = 0;
};

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

std::string atomName(xcb_connection_t* c, xcb_atom_t atom)
{
    std::unique_ptr<xcb_get_atom_name_reply_t, decltype(&std::free)> reply(
        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr), &std::free);
    if (!reply)
        return std::to_string(atom);
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get())));
}

} // namespace

int main(int argc, char** argv)
{
    // Each option by name: its value, or "" for a switch.
    std::map<std::string, std::string> options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--text" || arg == "--text-file" || arg == "--secret" ||
                                arg == "--chunk" || arg == "--stall-after";
        options[arg] = takesValue && i + 1 < argc ? argv[++i] : "";
    }
    std::string text = options["--text"];
    if (options.count("--text-file") != 0) {
        std::ostringstream content;
        content << std::ifstream(options["--text-file"], std::ios::binary).rdbuf();
        text = content.str();
    }
    const bool hasSecret = options.count("--secret") != 0;
    const auto number = [&](const char* name, std::size_t otherwise) {
        return options.count(name) != 0 ? std::strtoul(options[name].c_str(), nullptr, 10)
                                        : otherwise;
    };
    const std::size_t chunk = number("--chunk", 262144);
    const std::size_t stallAfter = number("--stall-after", SIZE_MAX);
    const bool isEndless = options.count("--endless") != 0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "clipboard_owner: no X display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);

    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    const xcb_atom_t targets = intern(c, "TARGETS");
    const xcb_atom_t incr = intern(c, "INCR");
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    const xcb_atom_t plainUtf8 = intern(c, "text/plain;charset=utf-8");
    const xcb_atom_t secretHint = intern(c, "x-kde-passwordManagerHint");
    std::vector<xcb_atom_t> offered = {targets, utf8, plainUtf8};
    if (hasSecret)
        offered.push_back(secretHint);
    if (options.count("--no-targets-listed") != 0)
        offered.clear();

    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr),
        &std::free);
    if (!owner || owner->owner != window) {
        std::fprintf(stderr, "clipboard_owner: could not take the clipboard\n");
        return 1;
    }
    std::printf("ready\n");

    // INCR transfers under way, by requestor window and property.
    std::map<std::pair<xcb_window_t, xcb_atom_t>, Transfer> transfers;
    const std::string filler(chunk, 'x');
    std::vector<xcb_selection_request_event_t> held;

    const auto answer = [&](const xcb_selection_request_event_t* request) {
        const std::string name = atomName(c, request->target);
        const xcb_atom_t property =
            request->property == XCB_NONE ? request->target : request->property;
        bool isServed = true;
        if (request->target == targets) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                XCB_ATOM_ATOM, 32, static_cast<uint32_t>(offered.size()),
                                offered.data());
        } else if (request->target == secretHint && hasSecret) {
            xcb_change_property(
                c, XCB_PROP_MODE_REPLACE, request->requestor, property, request->target, 8,
                static_cast<uint32_t>(options["--secret"].size()), options["--secret"].data());
        } else if (request->target == utf8 || request->target == plainUtf8) {
            if (text.size() > chunk || isEndless) {
                const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &eventMask);
                const auto size = static_cast<uint32_t>(text.size());
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, incr,
                                    32, 1, &size);
                transfers[{request->requestor, property}] = Transfer{request->target, 0};
            } else {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    request->target, 8, static_cast<uint32_t>(text.size()),
                                    text.data());
            }
        } else {
            isServed = false;
        }

        const xcb_selection_notify_event_t notify{XCB_SELECTION_NOTIFY,
                                                  0,
                                                  0,
                                                  request->time,
                                                  request->requestor,
                                                  request->selection,
                                                  request->target,
                                                  isServed ? property : xcb_atom_t{XCB_NONE}};
        xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(c);
        std::printf("%s %s\n", isServed ? "served" : "refused", name.c_str());
    };

    while (xcb_generic_event_t* raw = xcb_wait_for_event(c)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
        const int type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            // The late answers of an owner that was busy while it lost the selection.
            for (const xcb_selection_request_event_t& request : held)
                answer(&request);
            std::printf("lost\n");
            return 0;
        }
        if (type == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(raw);
            const auto key = std::make_pair(notify->window, notify->atom);
            const auto it = transfers.find(key);
            if (notify->state != XCB_PROPERTY_DELETE || it == transfers.end())
                continue;
            if (it->second.chunksSent == stallAfter) {
                std::printf("stalled\n");
                continue;
            }
            if (isEndless) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, notify->window, notify->atom,
                                    it->second.type, 8, static_cast<uint32_t>(filler.size()),
                                    filler.data());
                xcb_flush(c);
                std::printf("sent a chunk\n");
                continue;
            }
            // The requestor took the last piece: send the next, or the empty closing one.
            const std::size_t length = std::min(chunk, text.size() - it->second.offset);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, notify->window, notify->atom,
                                it->second.type, 8, static_cast<uint32_t>(length),
                                text.data() + it->second.offset);
            it->second.offset += length;
            ++it->second.chunksSent;
            if (length == 0)
                transfers.erase(it);
            xcb_flush(c);
            continue;
        }
        if (type != XCB_SELECTION_REQUEST)
            continue;

        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(raw);
        if (options.count("--silent") != 0) {
            std::printf("ignored %s\n", atomName(c, request->target).c_str());
            continue;
        }
        if (options.count("--late-targets") != 0 && request->target == targets) {
            held.push_back(*request);
            std::printf("held TARGETS\n");
            continue;
        }
        answer(request);
    }
    return 0;
}
