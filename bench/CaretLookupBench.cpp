// Prints how long one caret lookup takes on the desktop it runs on (run it with
// tests/desktop/testbed): with a GTK 3 text field in front, alone and among other accessible
// applications, and with a terminal that offers no accessible text in front.
#include "app/CaretLocator.h"
#include "platform/DebugLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quillstow;

namespace {

std::vector<std::unique_ptr<QProcess>> started;

QString activeWindowName()
{
    QProcess p;
    p.start(QStringLiteral("xdotool"),
            {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")});
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void startWindow(const QString& program, const QStringList& args, const QString& title)
{
    started.push_back(std::make_unique<QProcess>());
    started.back()->start(program, args);
    for (int i = 0; i < 150 && activeWindowName() != title; ++i)
        QThread::msleep(100);
    QThread::msleep(300);
}

void type(const QString& text)
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), text});
    QThread::msleep(200);
}

void measure(const char* label, CaretLocator& locator)
{
    constexpr int rounds = 50;
    std::vector<double> ms;
    int found = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        found += locator.caretScreenOrigin().has_value() ? 1 : 0;
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        QApplication::processEvents(); // as between two hot-key presses
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-48s median %6.2f ms  p90 %6.2f ms  max %6.2f ms  (%d/%d found)\n", label,
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), found, rounds);
}

QStringList entry(const QString& title)
{
    return {QStringLiteral("--entry"), QStringLiteral("--title=") + title};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    debuglog::setPath(dir.filePath(QStringLiteral("log")));
    CaretLocator locator;

    startWindow(QStringLiteral("zenity"), entry(QStringLiteral("Front")), QStringLiteral("Front"));
    type(QStringLiteral("hello world"));
    {
        QElapsedTimer clock;
        clock.start();
        locator.caretScreenOrigin(); // the first lookup connects to the bus
        std::printf("%-48s %6.2f ms\n", "first lookup (connects to the bus)",
                    static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    measure("GTK 3 entry in front, 1 application", locator);

    for (int i = 1; i <= 9; ++i) {
        const QString title = QStringLiteral("Other %1").arg(i);
        startWindow(QStringLiteral("zenity"), entry(title), title);
    }
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--name"),
                       QStringLiteral("^Front$"), QStringLiteral("windowactivate"),
                       QStringLiteral("--sync")});
    QThread::msleep(300);
    measure("GTK 3 entry in front, 10 applications", locator);

    startWindow(QStringLiteral("xterm"), {QStringLiteral("-title"), QStringLiteral("Term")},
                QStringLiteral("Term"));
    measure("xterm in front (no accessible text), 10 others", locator);

    for (auto& p : started) {
        p->kill();
        p->waitForFinished(5000);
    }
    return 0;
}
