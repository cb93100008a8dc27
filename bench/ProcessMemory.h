// What a process holds in memory, read from /proc: shared by the X11 and the Wayland process
// benches so that their figures are read alike.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <cstdio>

namespace quillstow::bench {

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
