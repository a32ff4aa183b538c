#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <utility>

// What the kernel says about a running program and everything it started.
namespace ProcStats {

// `root` and every process below it (WebEngine's zygote and renderers hang
// below the program).
QList<qint64> processTree(qint64 root);

struct Memory
{
    qint64 rssKiB = 0; // every process counts the pages it shares
    qint64 pssKiB = 0; // shared pages split among their users
};
Memory memory(const QList<qint64> &pids);

// CPU time and context switches of every thread of those processes.
struct Activity
{
    qint64 cpuNs = 0;
    qint64 switches = 0;
    // The same, thread by thread: a thread that ends between two readings
    // (a pool worker retiring) must not take its past out of the difference.
    QHash<qint64, std::pair<qint64, qint64>> threads;
};
Activity activity(const QList<qint64> &pids);
// What happened between two readings, over the threads seen in the later one.
Activity since(const Activity &before, const Activity &after);

} // namespace ProcStats
