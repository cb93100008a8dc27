// What the X11 and the Wayland process benches share, so that their figures are made and read
// alike: the seeded history, the wait for a condition, and what a process holds in memory.
#pragma once

#include "Corpus.h"
#include "history/HistoryStore.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QSettings>
#include <QString>
#include <QThread>
#include <cstdio>

namespace quillstow::bench {

// `items` realistic items in the settings file, where versions before the database kept them: a
// first run imports them, and the figures are of the second. Prints what was stored.
inline void seedHistory(int items)
{
    const QString config = QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                               .filePath(QStringLiteral("Quillstow/Quillstow.conf"));
    {
        QSettings seed(config, QSettings::IniFormat);
        seed.setValue(HistoryStore::maxItemsKey, 2000);
        if (items > 0)
            seed.setValue(HistoryStore::storageKey, encodeHistory(realisticHistory(items)));
    }
    std::printf("platform theme: \"%s\"; %d items stored (%.1f MB)\n",
                qgetenv("QT_QPA_PLATFORMTHEME").constData(), items,
                double(QFile(config).size()) / 1e6);
}

// Milliseconds until `done()` holds, or -1 after `limitMs`.
template <typename Pred> double waitMs(Pred done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return -1;
        QThread::usleep(500);
    }
    return double(t.nsecsElapsed()) / 1e6;
}

struct ProcessMemory
{
    double rssMb = 0, pssMb = 0, heapMb = 0;
};

// Rss and Pss of the whole process; heap is the resident part of malloc's main arena ([heap]).
inline ProcessMemory memoryOf(qint64 pid)
{
    ProcessMemory m;
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (rollup.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2 && parts[0] == "Rss:")
                m.rssMb = parts[1].toDouble() / 1024;
            if (parts.size() >= 2 && parts[0] == "Pss:")
                m.pssMb = parts[1].toDouble() / 1024;
        }
    }
    QFile maps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (maps.open(QIODevice::ReadOnly)) {
        bool inHeap = false;
        for (const QByteArray& line : maps.readAll().split('\n')) {
            // A mapping's first line: "start-end perms offset dev inode [path]".
            if (const QList<QByteArray> parts = line.simplified().split(' ');
                parts.size() >= 5 && parts[0].contains('-') && !parts[0].endsWith(':')) {
                inHeap = parts.last() == "[heap]";
            } else if (inHeap && parts.size() >= 2 && parts[0] == "Rss:") {
                m.heapMb += parts[1].toDouble() / 1024;
            }
        }
    }
    return m;
}

inline void printMemory(const char* when, const ProcessMemory& m)
{
    std::printf("%-44s RSS %.1f MB, PSS %.1f MB, heap %.1f MB\n", when, m.rssMb, m.pssMb, m.heapMb);
}

} // namespace quillstow::bench
