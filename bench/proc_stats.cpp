#include "proc_stats.h"

#include <QDir>
#include <QFile>
#include <QHash>

using namespace Qt::StringLiterals;

namespace ProcStats {

namespace {

QByteArray readProc(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The number after `key` in a "Key:   value unit" file such as status.
qint64 field(const QByteArray &text, QByteArrayView key)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

QList<qint64> processTree(qint64 root)
{
    QHash<qint64, QList<qint64>> children;
    const QStringList pids = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QByteArray stat = readProc(u"/proc/"_s + pid + u"/stat"_s);
        // The name in parentheses may hold blanks; the parent follows the state.
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1)
            children[rest[1].toLongLong()].append(pid.toLongLong());
    }
    QList<qint64> tree;
    QList<qint64> todo { root };
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeLast();
        if (!QFile::exists(u"/proc/"_s + QString::number(pid)))
            continue;
        tree << pid;
        todo += children.value(pid);
    }
    return tree;
}

Memory memory(const QList<qint64> &pids)
{
    Memory m;
    for (qint64 pid : pids) {
        const QString dir = u"/proc/"_s + QString::number(pid);
        m.rssKiB += field(readProc(dir + u"/status"_s), "VmRSS:");
        m.pssKiB += field(readProc(dir + u"/smaps_rollup"_s), "Pss:");
    }
    return m;
}

Activity activity(const QList<qint64> &pids)
{
    Activity a;
    for (qint64 pid : pids) {
        const QString tasks = u"/proc/"_s + QString::number(pid) + u"/task"_s;
        const QStringList tids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &tid : tids) {
            const QString dir = tasks + u'/' + tid;
            // Nanoseconds on the CPU; the ticks of stat are too coarse for
            // a program that is meant to do almost nothing.
            const qint64 cpu = readProc(dir + u"/schedstat"_s).split(' ').value(0).toLongLong();
            const QByteArray status = readProc(dir + u"/status"_s);
            const qint64 switches
                = field(status, "voluntary_ctxt_switches:") + field(status, "nonvoluntary_ctxt_switches:");
            a.cpuNs += cpu;
            a.switches += switches;
            a.threads.insert(tid.toLongLong(), { cpu, switches });
        }
    }
    return a;
}

Activity since(const Activity &before, const Activity &after)
{
    Activity d;
    for (auto it = after.threads.cbegin(); it != after.threads.cend(); ++it) {
        const std::pair<qint64, qint64> was = before.threads.value(it.key(), { 0, 0 });
        d.cpuNs += it->first - was.first;
        d.switches += it->second - was.second;
    }
    return d;
}

} // namespace ProcStats
