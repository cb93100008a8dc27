// Time from deliver() to the text appearing in the target application, on a real X display
// with synthetic input: run it on the private desktop,
//     tests/desktop/testbed build/release/bench/paste_latency [runs]
// The target is a second copy of this program showing one line edit; it reports, with the
// monotonic clock both processes share, each moment its text changes.
#include "app/Backends.h"
#include "app/PasteSequence.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

qint64 nowMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs the event loop until `done` or the time limit.
template <typename F> bool waitFor(F done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

int runTarget()
{
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("paste latency target"));
    edit.resize(400, 40);
    QObject::connect(&edit, &QLineEdit::textChanged, [&](const QString& text) {
        if (text.isEmpty())
            return;
        std::printf("pasted %lld %s\n", static_cast<long long>(nowMicroseconds()),
                    text.toUtf8().constData());
        std::fflush(stdout);
        QTimer::singleShot(0, &edit, &QLineEdit::clear);
    });
    edit.show();
    std::printf("window %llu\n", static_cast<unsigned long long>(edit.winId()));
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.contains(QStringLiteral("--target")))
        return runTarget();
    const int runs = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 10;

    const quillstow::Backends backends = quillstow::makeBackends(quillstow::SessionKind::x11);
    if (!backends.keys->isAvailable()) {
        std::fprintf(stderr, "paste_latency: no synthetic input on this display\n");
        return 1;
    }
    const auto& windows = backends.windows;
    auto sequence = std::make_unique<quillstow::PasteSequence>(quillstow::PasteServices{
        backends.clipboardWriter, windows, backends.keys, backends.notifier});

    QProcess target;
    QString targetOutput;
    QObject::connect(&target, &QProcess::readyReadStandardOutput,
                     [&] { targetOutput += QString::fromUtf8(target.readAllStandardOutput()); });
    target.start(QApplication::applicationFilePath(), {QStringLiteral("--target")});
    if (!waitFor([&] { return targetOutput.contains(u'\n'); }, 10000)) {
        std::fprintf(stderr, "paste_latency: the target did not start\n");
        return 1;
    }
    const quint64 targetId = targetOutput.section(u'\n', 0, 0).section(u' ', 1).toULongLong();
    targetOutput.clear();

    auto isActive = [&](quint64 id) {
        const auto active = windows->activeWindow();
        return active && active->handle == id;
    };
    windows->activate(quillstow::platform::WindowRef{targetId, {}, {}, 0});
    if (!waitFor([&] { return isActive(targetId); }, 5000)) {
        std::fprintf(stderr, "paste_latency: the target window did not come forward\n");
        return 1;
    }
    const auto targetRef = windows->activeWindow();

    // Our own window stands in for the picker, which has the focus when the user chooses.
    QWidget picker;
    picker.resize(200, 100);
    std::vector<double> latencies;
    for (int run = 0; run < runs; ++run) {
        picker.show();
        windows->activate(quillstow::platform::WindowRef{picker.winId(), {}, {}, 0});
        if (!waitFor([&] { return isActive(picker.winId()); }, 5000)) {
            std::fprintf(stderr, "paste_latency: our window did not come forward\n");
            return 1;
        }
        picker.hide();
        const QString content = QStringLiteral("paste run %1").arg(run + 1);
        targetOutput.clear();
        const qint64 start = nowMicroseconds();
        sequence->deliver(content, targetRef);
        const QString expected = QStringLiteral(" ") + content + u'\n';
        if (!waitFor([&] { return targetOutput.contains(expected); }, 10000)) {
            std::fprintf(stderr, "paste_latency: run %d: the text did not arrive\n", run + 1);
            return 1;
        }
        const qint64 arrived = targetOutput.section(u' ', 1, 1).toLongLong();
        latencies.push_back(static_cast<double>(arrived - start) / 1000.0);
        std::printf("run %2d: %.1f ms\n", run + 1, latencies.back());
        waitFor([] { return false; }, 300); // let the Right Arrow and clearing settle
    }
    target.terminate();
    target.waitForFinished(3000);

    std::vector<double> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    std::printf("deliver() to text in the target, %zu runs: median %.1f ms, worst %.1f ms "
                "(fixed pauses: 350 ms)\n",
                n, median, sorted.back());
    return 0;
}
