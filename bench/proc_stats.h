#pragma once

#include <QList>
#include <QString>

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
};
Activity activity(const QList<qint64> &pids);

} // namespace ProcStats
