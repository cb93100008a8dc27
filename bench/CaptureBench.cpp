// Figures for clipboard capture on a real X display (run it on the test bed:
// tests/desktop/testbed build/release/bench/capture_bench): the delay from an xclip copy to the
// item in the store, the CPU that each captured copy costs, and how often the idle program
// wakes up.
//
//   capture_bench [COPIES] [IDLE_SECONDS]     defaults: 30 copies, 20 s idle
#include "Corpus.h"
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "platform/x11/X11Clipboard.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace quillstow;

namespace {

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The times the process gave up the processor to wait: each wake-up from the event loop is one.
long voluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

double wallMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop until `sender` emits `signal` or `timeoutMs` pass.
template <typename Sender, typename Signal>
bool waitFor(Sender* sender, Signal signal, int timeoutMs)
{
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, [&loop] { loop.exit(1); });
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    return loop.exec() == 0;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The real clipboard, with the process's CPU time noted when a read starts and when the
// monitor's rules have run on its answer.
class TimedClipboard final : public platform::Clipboard
{
public:
    explicit TimedClipboard(platform::Clipboard& inner) : inner_(inner) {}
    qint64 changeCount() const override { return inner_.changeCount(); }
    void setChangeListener(ChangeListener changed) override
    {
        inner_.setChangeListener(std::move(changed));
    }
    void keepText(const QString& text) override { inner_.keepText(text); }
    void readText(platform::Selection selection, ReadDone done) override
    {
        cpuAtRead = processCpuMs();
        inner_.readText(selection,
                        [this, done = std::move(done)](const platform::ClipboardRead& read) {
                            done(read);
                            cpuAfterRules = processCpuMs();
                            checkedAt = wallMs();
                        });
    }
    double cpuAtRead = 0;
    double cpuAfterRules = 0;
    double checkedAt = 0;

private:
    platform::Clipboard& inner_;
};

struct Sample
{
    double readDelayMs; // to the text read and checked, the add queued
    double delayMs;
    double captureCpuMs; // read, decode and the capture rules
    double addCpuMs;     // the store's add with its durable write
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double worst(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

struct Bed
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<ObsidianService> vault;
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<TimedClipboard> clipboard;
    std::unique_ptr<ClipboardMonitor> monitor;

    Bed(platform::Clipboard& x11, int storedItems)
    {
        settings = std::make_unique<QSettings>(dir.filePath(QStringLiteral("Quillstow.conf")),
                                               QSettings::IniFormat);
        if (storedItems > 0)
            settings->setValue(HistoryStore::storageKey,
                               encodeHistory(bench::realisticHistory(storedItems)));
        settings->sync();
        vault = std::make_unique<ObsidianService>(*settings);
        store = std::make_unique<HistoryStore>(*settings, *vault,
                                               dir.filePath(QStringLiteral("history.sqlite3")));
        clipboard = std::make_unique<TimedClipboard>(x11);
        monitor = std::make_unique<ClipboardMonitor>(*clipboard, *store, *settings);
        monitor->start();
    }
};

// Copies `text` with xclip after a short random pause and waits for the item to be stored.
bool copyAndMeasure(Bed& bed, const QByteArray& text, std::vector<Sample>& samples)
{
    pause(50 + int(QRandomGenerator::global()->bounded(100)));
    double addedAt = -1;
    double cpuAtAdded = 0;
    const QMetaObject::Connection noted =
        QObject::connect(bed.store.get(), &HistoryStore::itemsChanged, [&] {
            addedAt = wallMs();
            cpuAtAdded = processCpuMs();
        });
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    xclip.write(text);
    xclip.closeWriteChannel();
    const bool isCopied = waitFor(&xclip, &QProcess::finished, 10000);
    const double copiedAt = wallMs();
    const bool isStored =
        isCopied && (addedAt >= 0 || waitFor(bed.store.get(), &HistoryStore::itemsChanged, 5000));
    QObject::disconnect(noted);
    if (!isStored)
        return false;
    samples.push_back({std::max(0.0, bed.clipboard->checkedAt - copiedAt),
                       std::max(0.0, addedAt - copiedAt),
                       bed.clipboard->cpuAfterRules - bed.clipboard->cpuAtRead,
                       cpuAtAdded - bed.clipboard->cpuAfterRules});
    return true;
}

void report(const char* what, const std::vector<Sample>& samples)
{
    std::vector<double> readDelay, delay, capture, add, total;
    for (const Sample& s : samples) {
        readDelay.push_back(s.readDelayMs);
        delay.push_back(s.delayMs);
        capture.push_back(s.captureCpuMs);
        add.push_back(s.addCpuMs);
        total.push_back(s.captureCpuMs + s.addCpuMs);
    }
    std::printf("%s, %zu copies\n", what, samples.size());
    std::printf("  delay from xclip's copy to the text read and checked: median %.1f ms, worst "
                "%.1f ms\n",
                median(readDelay), worst(readDelay));
    std::printf("  delay from xclip's copy to the item stored: median %.1f ms, worst %.1f ms\n",
                median(delay), worst(delay));
    std::printf("  CPU per captured copy: read and rules median %.2f ms (worst %.2f), add with "
                "its durable write median %.2f ms (worst %.2f), together median %.2f ms "
                "(worst %.2f)\n",
                median(capture), worst(capture), median(add), worst(add), median(total),
                worst(total));
}

QByteArray copyText(int n, qsizetype bytes)
{
    QByteArray line =
        QStringLiteral("copy %1: Quillstow keeps what you copy \u2014 gr\u00FC\u00DFe.\n")
            .arg(n)
            .toUtf8();
    QByteArray text;
    while (text.size() < bytes)
        text += line;
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    std::unique_ptr<platform::X11Clipboard> x11 = platform::X11Clipboard::connect();
    if (!x11) {
        std::fprintf(stderr, "capture_bench: needs an X display (run it on the test bed)\n");
        return 1;
    }
    wallMs();

    // First, before this process has started any xclip: afterwards something in Qt's handling
    // of child processes wakes it about once a second, which is the benchmark's, not the
    // program's (the program starts no processes).
    {
        Bed bed(*x11, 500);
        pause(1000);
        const double cpuBefore = processCpuMs();
        const double wallBefore = wallMs();
        const long wakeUpsBefore = voluntarySwitches();
        pause(idleSeconds * 1000);
        // The pause's own timer wakes the process once.
        const long wakeUps = voluntarySwitches() - wakeUpsBefore - 1;
        const double cpu = processCpuMs() - cpuBefore;
        const double wall = wallMs() - wallBefore;
        std::printf("Idle for %.0f s: %.3f ms of CPU (%.4f %% of one core), %ld wake-ups "
                    "(%.2f per second)\n",
                    wall / 1e3, cpu, 100.0 * cpu / wall, wakeUps, double(wakeUps) * 1e3 / wall);
    }

    struct Run
    {
        const char* what;
        int storedItems;
        int copies;
        qsizetype bytes;
    };
    const Run runs[] = {
        {"Text of about 100 bytes, empty history", 0, copies, 100},
        {"Text of about 100 bytes, 500 items stored", 500, copies, 100},
        {"Text of 1 MB (INCR), empty history", 0, std::max(3, copies / 6), 1024 * 1024},
        {"Text of 4 MB (INCR, the size limit), empty history", 0, std::max(3, copies / 6),
         platform::maxTextBytes - 512},
    };
    int n = 0;
    for (const Run& run : runs) {
        Bed bed(*x11, run.storedItems);
        std::vector<Sample> samples;
        for (int i = 0; i < run.copies; ++i) {
            if (!copyAndMeasure(bed, copyText(++n, run.bytes), samples)) {
                std::fprintf(stderr, "capture_bench: copy %d was not captured\n", n);
                return 1;
            }
        }
        report(run.what, samples);
    }

    return 0;
}
