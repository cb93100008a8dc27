// Whole-process figures for the real program with 2,000 stored items (or as many as asked), on the
// desktop it runs on (run it inside tests/desktop/testbed): launch to tray icon embedded, memory
// and CPU while idle, and hot key to the popup shown with the keyboard focus.
//
// Usage: process_bench QUILLSTOW [IDLE_SECONDS [ITEMS]]
// (ITEMS 0 gives the part of the start-up that does not depend on the history)
#include "ProcessSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

using namespace quillstow;
using bench::memoryOf;
using bench::printMemory;
using bench::waitMs;

namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* conn = nullptr;
xcb_window_t root = 0;

xcb_atom_t atom(const char* name)
{
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QByteArray property(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type)
{
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(conn, xcb_get_property(conn, 0, w, prop, type, 0, 1024), nullptr));
    if (!r)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                      xcb_get_property_value_length(r.get()));
}

bool hasClass(xcb_window_t w, const char* cls)
{
    return property(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).contains(cls);
}

// A window of Quillstow's below trayer's panel: the icon has been embedded.
bool iconEmbedded(xcb_window_t w, bool insidePanel, int depth)
{
    if (depth > 8)
        return false;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, w), nullptr));
    if (!tree)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const bool panel = insidePanel || hasClass(children[i], "trayer");
        if (insidePanel && hasClass(children[i], "quillstow"))
            return true;
        if (iconEmbedded(children[i], panel, depth + 1))
            return true;
    }
    return false;
}

xcb_window_t activeWindow()
{
    static const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
    const QByteArray v = property(root, active, XCB_ATOM_WINDOW);
    return v.size() >= 4 ? *reinterpret_cast<const xcb_window_t*>(v.constData()) : 0;
}

bool popupFocused()
{
    const xcb_window_t w = activeWindow();
    if (!w || !hasClass(w, "quillstow"))
        return false;
    Reply<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(conn, xcb_get_geometry(conn, w), nullptr));
    return g && g->width == 480;
}

void pressKeys(const std::vector<xcb_keysym_t>& syms)
{
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(conn);
    std::vector<xcb_keycode_t> codes;
    for (xcb_keysym_t s : syms) {
        std::unique_ptr<xcb_keycode_t, FreeDeleter> c(xcb_key_symbols_get_keycode(symbols, s));
        codes.push_back(c ? c.get()[0] : 0);
    }
    xcb_key_symbols_free(symbols);
    for (xcb_keycode_t c : codes)
        xcb_test_fake_input(conn, XCB_KEY_PRESS, c, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it)
        xcb_test_fake_input(conn, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(conn);
}

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// Time the process's main thread has run, in ms (the scheduler's own count, in nanoseconds).
double mainThreadCpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/task/%1/schedstat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').value(0).toDouble() / 1e6;
}

bool mapsContain(qint64 pid, const QByteArray& needle)
{
    QFile f(QStringLiteral("/proc/%1/maps").arg(pid));
    return f.open(QIODevice::ReadOnly) && f.readAll().contains(needle);
}

qint64 sharedLibraries(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QSet<QByteArray> paths;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (const qsizetype at = line.indexOf('/'); at >= 0 && line.contains(".so"))
            paths.insert(line.mid(at));
    return paths.size();
}

void printSeries(const char* name, std::vector<double> ms)
{
    if (ms.empty())
        return;
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s first %6.1f ms  median %6.1f ms  worst %6.1f ms  (n=%zu)\n", name, first,
                ms[ms.size() / 2], ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: process_bench QUILLSTOW [IDLE_SECONDS [ITEMS]]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const int items = argc > 3 ? std::atoi(argv[3]) : 2000;
    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;

    bench::seedHistory(items);

    {
        QProcess importing;
        importing.start(program, {});
        const double imported = waitMs([] { return iconEmbedded(root, false, 0); }, 10000);
        std::printf("%-44s %6.1f ms\n", "first launch (imports) to tray icon", imported);
        QThread::msleep(500);
        std::printf("%-44s %6.1f ms\n", "  its main thread's CPU, import included",
                    mainThreadCpuMs(importing.processId()));
        importing.terminate();
        importing.waitForFinished(3000);
        waitMs([] { return !iconEmbedded(root, false, 0); }, 3000);
    }

    QProcess quillstow;
    quillstow.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer launch;
    launch.start();
    quillstow.start(program, {});
    const double toTray = waitMs([] { return iconEmbedded(root, false, 0); }, 10000);
    std::printf("%-44s %6.1f ms\n", "launch to tray icon embedded", toTray);
    const qint64 pid = quillstow.processId();

    QThread::sleep(5);
    std::printf("%-44s %6.1f ms\n", "main thread's CPU for the whole start-up",
                mainThreadCpuMs(pid));
    // Every library costs the loader its relocations at start; the SVG icon plugin is not needed
    // before a window shows one of the picker's icons.
    std::printf("%-44s %lld (SVG icon plugin: %s)\n", "shared libraries loaded at start-up",
                sharedLibraries(pid), mapsContain(pid, "libqsvgicon") ? "yes" : "no");
    printMemory("memory after 5 s idle", memoryOf(pid));
    const double before = cpuSeconds(pid);
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    const double used = cpuSeconds(pid) - before;
    std::printf("%-44s %.3f %% (%.0f ms over %d s)\n", "CPU while idle", used * 100 / idleSeconds,
                used * 1000, idleSeconds);

    // Super+Shift+V, then Escape to close, 20 times.
    const xcb_keysym_t superL = 0xffeb, shiftL = 0xffe1, v = 'v', escape = 0xff1b;
    std::vector<double> hotkey;
    for (int i = 0; i < 20; ++i) {
        pressKeys({superL, shiftL, v});
        const double ms = waitMs(popupFocused, 3000);
        if (ms >= 0)
            hotkey.push_back(ms);
        QThread::msleep(150);
        if (i == 0) {
            printMemory("memory with the popup shown", memoryOf(pid));
        }
        pressKeys({escape});
        waitMs([] { return !popupFocused(); }, 3000);
        QThread::msleep(150);
    }
    printSeries("hot key to popup shown and focused", hotkey);
    // Qt's GUI library links the GL dispatch libraries; a renderer is loaded only when OpenGL is
    // really used.
    const bool renderer = mapsContain(pid, "libGLX_mesa") || mapsContain(pid, "_dri.so") ||
                          mapsContain(pid, "swrast");
    std::printf("%-44s %s\n", "OpenGL renderer loaded", renderer ? "yes" : "no");
    printMemory("memory after the popup was shown", memoryOf(pid));

    quillstow.terminate();
    quillstow.waitForFinished(3000);
    xcb_disconnect(conn);
    return 0;
}
