// What any Qt widget program pays to start on this desktop: a QApplication on the xcb platform
// with a tray icon and its menu, and nothing of Quillstow. The figure to set the program's own
// start-up against (bench/process_bench prints that one).
//
// Usage: tests/desktop/testbed qt_startup_bench [RUNS]
// Starts itself RUNS times (10 by default); each child shows the icon, lets the event loop settle
// and reports its main thread's CPU.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Time the main thread has run, in ms (the scheduler's own count, in nanoseconds).
double mainThreadCpuMs()
{
    QFile f(QStringLiteral("/proc/self/task/%1/schedstat").arg(QCoreApplication::applicationPid()));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').value(0).toDouble() / 1e6;
}

int child(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.drawEllipse(pixmap.rect().adjusted(3, 3, -3, -3));
    }
    QSystemTrayIcon tray{QIcon(pixmap)};
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Quit"), &app, &QCoreApplication::quit);
    tray.setContextMenu(&menu);
    tray.show();
    // As long as process_bench lets the program settle before it reads the figure.
    QTimer::singleShot(2500, &app, [] {
        std::printf("%.2f\n", mainThreadCpuMs());
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess run;
        run.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child")});
        if (!run.waitForFinished(10000))
            return 1;
        ms.push_back(run.readAllStandardOutput().trimmed().toDouble());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s best %6.1f ms  median %6.1f ms  worst %6.1f ms  (n=%zu)\n",
                "empty Qt tray program, main thread's CPU", ms.front(), ms[ms.size() / 2],
                ms.back(), ms.size());
    return 0;
}
