// Prints how long the hot key takes to bring the picker up with the keyboard focus in it: from
// the synthetic press of Super+Shift+V to the picker being the active window and holding the
// X input focus, with a GTK 3 text field in front and with a terminal in front. Run it on the
// private desktop with the program to measure:
//   tests/desktop/testbed build/release/bench/hotkey_latency build/release/src/quillstow [rounds]
#include "X11Desktop.h"
#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::Desktop;

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
