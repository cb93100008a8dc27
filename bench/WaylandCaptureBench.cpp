// Figures for clipboard capture on Wayland (run it on the Wayland test bed:
// tests/wayland/testbed build/release/bench/wayland_capture_bench): the delay from a wl-copy
// copy to the item stored by the clipboard monitor in a real history database.
//
//   wayland_capture_bench [COPIES]     default: 30 copies
#include "capture/ClipboardMonitor.h"
#include "history/HistoryStore.h"
#include "platform/wayland/WaylandClipboard.h"
#include "vault/ObsidianService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quillstow;

namespace {

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double worst(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// The real clipboard, noting when the compositor told of each change.
class NotingClipboard final : public platform::Clipboard
{
public:
    explicit NotingClipboard(platform::Clipboard& inner) : inner_(inner) {}
    qint64 changeCount() const override { return inner_.changeCount(); }
    void setChangeListener(ChangeListener changed) override
    {
        inner_.setChangeListener([this, changed = std::move(changed)](platform::ClipboardChange c) {
            changedAt = clock->nsecsElapsed();
            changed(c);
        });
    }
    void keepText(const QString& text) override { inner_.keepText(text); }
    void readText(platform::Selection selection, ReadDone done) override
    {
        inner_.readText(selection, std::move(done));
    }
    const QElapsedTimer* clock = nullptr;
    qint64 changedAt = 0;

private:
    platform::Clipboard& inner_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QString error;
    std::unique_ptr<platform::WaylandClipboard> clipboard =
        platform::WaylandClipboard::connect(&error);
    if (!clipboard) {
        std::fprintf(stderr, "wayland_capture_bench: %s\n", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("Quillstow.conf")), QSettings::IniFormat);
    ObsidianService vault(settings);
    HistoryStore store(settings, vault, dir.filePath(QStringLiteral("history.sqlite3")));
    NotingClipboard noting(*clipboard);
    QElapsedTimer clock;
    noting.clock = &clock;
    ClipboardMonitor monitor(noting, store, settings);
    monitor.start();

    // From wl-copy's start: it forks, and its child takes the clipboard, after it exits.
    std::vector<double> delays, fromEvent;
    for (int i = 0; i < copies; ++i) {
        pause(50 + int(QRandomGenerator::global()->bounded(100)));
        QEventLoop stored;
        QTimer::singleShot(5000, &stored, [&stored] { stored.exit(1); });
        const QMetaObject::Connection added =
            QObject::connect(&store, &HistoryStore::itemsChanged, &stored, &QEventLoop::quit);
        clock.start();
        QProcess::startDetached(QStringLiteral("wl-copy"),
                                {QStringLiteral("copy %1: gr\u00FC\u00DFe").arg(i)});
        const bool isStored = stored.exec() == 0;
        QObject::disconnect(added);
        if (!isStored) {
            std::fprintf(stderr, "wayland_capture_bench: copy %d was not stored\n", i);
            return 1;
        }
        const qint64 storedAt = clock.nsecsElapsed();
        delays.push_back(double(storedAt) / 1e6);
        fromEvent.push_back(double(storedAt - noting.changedAt) / 1e6);
    }
    std::printf("%d copies by wl-copy, through the clipboard monitor into a history database\n",
                copies);
    std::printf("  delay from starting wl-copy to the item stored: median %.1f ms, worst %.1f ms\n",
                median(delays), worst(delays));
    std::printf("  delay from the compositor's selection event to the item stored: median %.1f "
                "ms, worst %.1f ms\n",
                median(fromEvent), worst(fromEvent));
    return 0;
}
