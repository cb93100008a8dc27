// Whole-process figures for the real program on Wayland with 2,000 stored items (or as many as
// asked), read as bench/process_bench reads them on X11: launch to the tray icon registered with
// the bar, memory after start and with the picker shown. Run it on the Wayland test bed:
//   tests/wayland/testbed build/release/bench/wayland_process_bench build/release/src/quillstow
//
// Usage: wayland_process_bench QUILLSTOW [ITEMS [SHOWS]]   (defaults: 2000 items, 10 shows)
#include "ProcessSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <cstdlib>

using namespace quillstow;
using bench::memoryOf;
using bench::printMemory;
using bench::waitMs;

namespace {

// Items registered with swaybar's StatusNotifierWatcher.
int trayItems()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return int(
        reply.arguments().constFirst().value<QDBusVariant>().variant().toStringList().size());
}

bool focusedIn(const QJsonObject& node, qint64 pid)
{
    if (node.value(QStringLiteral("focused")).toBool() &&
        node.value(QStringLiteral("pid")).toInteger() == pid)
        return true;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue child : node.value(QLatin1String(key)).toArray())
            if (focusedIn(child.toObject(), pid))
                return true;
    return false;
}

// A window of process `pid` has the focus, by sway's window tree.
bool windowOfFocused(qint64 pid)
{
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_tree")});
    if (!swaymsg.waitForFinished(2000))
        return false;
    return focusedIn(QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object(), pid);
}

void command(const QString& program, const QString& option)
{
    QProcess::execute(program, {option});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2 || qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        std::fprintf(stderr, "usage (on the Wayland test bed): wayland_process_bench QUILLSTOW "
                             "[ITEMS [SHOWS]]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int items = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int shows = argc > 3 ? std::atoi(argv[3]) : 10;
    qunsetenv("QT_QPA_PLATFORM"); // the program chooses its backend as on a user's desktop

    bench::seedHistory(items);
    {
        QProcess importing;
        importing.start(program, {});
        const double imported = waitMs([] { return trayItems() > 0; }, 10000);
        std::printf("%-44s %6.1f ms\n", "first launch (imports) to tray icon", imported);
        QThread::msleep(500);
        importing.terminate();
        importing.waitForFinished(3000);
        waitMs([] { return trayItems() == 0; }, 3000);
    }

    QProcess quillstow;
    quillstow.setProcessChannelMode(QProcess::ForwardedChannels);
    quillstow.start(program, {});
    const double toTray = waitMs([] { return trayItems() > 0; }, 10000);
    std::printf("%-44s %6.1f ms\n", "launch to tray icon registered", toTray);
    const qint64 pid = quillstow.processId();
    QThread::sleep(5);
    printMemory("memory after 5 s idle", memoryOf(pid));

    int shown = 0;
    for (int i = 0; i < shows; ++i) {
        command(program, QStringLiteral("--show"));
        if (waitMs([pid] { return windowOfFocused(pid); }, 3000) < 0)
            continue;
        ++shown;
        QThread::msleep(150);
        if (i == 0)
            printMemory("memory with the picker shown", memoryOf(pid));
        command(program, QStringLiteral("--toggle"));
        waitMs([pid] { return !windowOfFocused(pid); }, 3000);
        QThread::msleep(150);
    }
    std::printf("%-44s %d of %d\n", "picker shown and focused", shown, shows);
    printMemory("memory after the picker was shown", memoryOf(pid));

    quillstow.terminate();
    quillstow.waitForFinished(3000);
    return 0;
}
