// Prints how long the hot key takes to bring the picker up with the keyboard focus in it: from
// the synthetic press of Super+Shift+V to the picker being the active window and holding the
// X input focus, with a GTK 3 text field in front and with a terminal in front. Run it on the
// private desktop with the program to measure:
//   tests/desktop/testbed build/release/bench/hotkey_latency build/release/src/quillstow [rounds]
#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

class Desktop
{
public:
    Desktop() : connection_(xcb_connect(nullptr, nullptr))
    {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        activeAtom_ = atom("_NET_ACTIVE_WINDOW");
        nameAtom_ = atom("_NET_WM_NAME");
        utf8Atom_ = atom("UTF8_STRING");
        symbols_ = xcb_key_symbols_alloc(connection_);
    }
    ~Desktop()
    {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    xcb_window_t activeWindow()
    {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_NONE;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    }

    QString name(xcb_window_t window)
    {
        if (window == XCB_NONE)
            return {};
        // _NET_WM_NAME where the client sets it (Qt, GTK), WM_NAME otherwise (xterm).
        for (const auto& [property, type] :
             {std::pair{nameAtom_, utf8Atom_},
              std::pair{xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_GET_PROPERTY_TYPE_ANY)}}) {
            Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 0, window, property, type, 0, 256),
                nullptr));
            if (reply && xcb_get_property_value_length(reply.get()) > 0)
                return QString::fromUtf8(
                    static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get()));
        }
        return {};
    }

    // Whether the X input focus is in `window` or one of its descendants.
    bool hasInputFocus(xcb_window_t window)
    {
        Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        if (!focus)
            return false;
        for (xcb_window_t w = focus->focus; w != XCB_NONE && w != root_;) {
            if (w == window)
                return true;
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(connection_, xcb_query_tree(connection_, w), nullptr));
            if (!tree)
                return false;
            w = tree->parent;
        }
        return false;
    }

    bool isActive(const QString& title) { return name(activeWindow()) == title; }

    // The picker is up once it is the active window and holds the input focus.
    bool pickerHasFocus()
    {
        const xcb_window_t active = activeWindow();
        return name(active) == QStringLiteral("Quillstow") && hasInputFocus(active);
    }

    // Presses the keys in order and lets go of them in reverse, as xdotool key does.
    void chord(const std::vector<xcb_keysym_t>& keysyms)
    {
        std::vector<xcb_keycode_t> codes;
        for (xcb_keysym_t sym : keysyms) {
            std::unique_ptr<xcb_keycode_t, FreeDeleter> found(
                xcb_key_symbols_get_keycode(symbols_, sym));
            codes.push_back(found ? found.get()[0] : 0);
        }
        for (xcb_keycode_t code : codes)
            xcb_test_fake_input(connection_, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            xcb_test_fake_input(connection_, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        xcb_flush(connection_);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_atom_t activeAtom_ = 0;
    xcb_atom_t nameAtom_ = 0;
    xcb_atom_t utf8Atom_ = 0;
    xcb_key_symbols_t* symbols_ = nullptr;
};

constexpr xcb_keysym_t superL = 0xffeb;
constexpr xcb_keysym_t shiftL = 0xffe1;
constexpr xcb_keysym_t letterV = 0x76;
constexpr xcb_keysym_t escape = 0xff1b;

template <typename F> bool waitFor(F condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (condition())
            return true;
        QThread::usleep(200);
    }
    return false;
}

int successLines()
{
    QFile log(quillstow::debuglog::defaultPath);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(log.readAll().count("caretScreenOrigin: success"));
}

void measure(Desktop& desktop, const char* label, const QString& program, const QStringList& args,
             const QString& title, int rounds)
{
    QProcess front;
    front.start(program, args);
    if (!waitFor([&] { return desktop.isActive(title); }, 15000)) {
        std::printf("%-28s %s did not come up\n", label, qPrintable(program));
        front.kill();
        front.waitForFinished(3000);
        return;
    }
    QThread::msleep(500);
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("abc ")});
    QThread::msleep(300);

    const int successBefore = successLines();
    std::vector<double> ms;
    int missed = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        desktop.chord({superL, shiftL, letterV});
        if (waitFor([&] { return desktop.pickerHasFocus(); }, 5000))
            ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        else
            ++missed;
        QThread::msleep(300);
        desktop.chord({escape});
        waitFor([&] { return desktop.isActive(title); }, 5000);
        QThread::msleep(300);
    }
    const int found = successLines() - successBefore;
    front.kill();
    front.waitForFinished(3000);

    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("%-28s no picker came up\n", label);
        return;
    }
    std::printf("%-28s median %6.1f ms  worst %6.1f ms  (%zu/%d shown, %d at the caret) :", label,
                ms[ms.size() / 2], ms.back(), ms.size(), rounds, found);
    for (double v : ms)
        std::printf(" %.1f", v);
    std::printf("\n");
    (void)missed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: hotkey_latency QUILLSTOW [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    Desktop desktop;

    QProcess quillstow;
    quillstow.start(QString::fromLocal8Bit(argv[1]), {});
    QThread::msleep(1500);

    std::printf("hot key to picker active and focused, %d presses each\n", rounds);
    measure(desktop, "GTK 3 field (zenity) in front", QStringLiteral("zenity"),
            {QStringLiteral("--entry"), QStringLiteral("--title=Latency field")},
            QStringLiteral("Latency field"), rounds);
    measure(desktop, "terminal (xterm) in front", QStringLiteral("xterm"),
            {QStringLiteral("-title"), QStringLiteral("Latency term")},
            QStringLiteral("Latency term"), rounds);

    quillstow.terminate();
    quillstow.waitForFinished(3000);
    return 0;
}
