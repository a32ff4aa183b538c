// Opens the browser window the way the program does, for screenshots and for
// the start-up and memory figures of bench/browser_memory.sh.
//
//   browser_harness bench              time to the start page, memory open/closed
//   browser_harness show [corner] [url]  show the window until killed
#include "browser_engine.h"
#include "browser_window.h"
#include "doubles.h"
#include "web_engine_browser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The process and every process below it: the renderer and the zygote hang
// below the program.
QList<qint64> processTree(qint64 root)
{
    QHash<qint64, QList<qint64>> children;
    const QStringList pids = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        QFile stat(u"/proc/"_s + pid + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields[1].toLongLong()].append(pid.toLongLong());
    }
    QList<qint64> tree;
    QList<qint64> todo { root };
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeLast();
        tree << pid;
        todo += children.value(pid);
    }
    return tree;
}

QString processName(qint64 pid)
{
    QFile comm(u"/proc/"_s + QString::number(pid) + u"/comm"_s);
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

// Memory of those processes, in KiB: `field` "VmRSS:" of status counts
// shared pages in every process, "Pss:" of smaps_rollup shares them out.
qint64 memoryKiB(const QList<qint64> &pids, const char *file, const QByteArray &field)
{
    qint64 total = 0;
    for (qint64 pid : pids) {
        QFile f(u"/proc/"_s + QString::number(pid) + u"/"_s + QLatin1String(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &l : f.readAll().split('\n')) {
            if (l.startsWith(field))
                total += l.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return total;
}

qint64 residentKiB(const QList<qint64> &pids)
{
    return memoryKiB(pids, "status", "VmRSS:");
}

qint64 proportionalKiB(const QList<qint64> &pids)
{
    return memoryKiB(pids, "smaps_rollup", "Pss:");
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QStringList args = app.arguments();
    const QString mode = args.value(1, u"bench"_s);

    QTemporaryDir work;
    QDir(work.path()).mkpath(u"html"_s);
    {
        QFile start(work.filePath(u"html/serch.html"_s));
        if (start.open(QIODevice::WriteOnly))
            start.write("<html><head><meta charset=\"utf-8\"><title>検索</title></head><body>"
                        "<h1>Larkvane 検索ページ</h1><p><a href=\"https://auctions.yahoo.co.jp/\">"
                        "Yahoo!オークション</a> / <a href=\"http://www.bidders.co.jp/\">ビッダーズ</a></p>"
                        "</body></html>");
    }
    QDir::setCurrent(work.path());

    MessageRecorder messages;
    BrowserProfile profile;
    const wire::Setup setup { { u"600"_s, u"600"_s, u"13500"_s, u"10500"_s },
        { u"1"_s, u"1"_s, args.value(2, u"3"_s) }, QDir(work.path()).filePath(u"html/serch.html"_s) };
    auto *w = new BrowserWindow(
        setup, messages, [&profile](QWidget *parent) { return profile.createEngine(parent); });
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setCountdownLine(u" 3: ノートパソコン あと  1234秒"_s);

    QTextStream out(stdout);
    if (mode == u"show"_s) {
        w->show();
        if (args.size() > 3)
            w->navigate(args.value(3));
        return app.exec();
    }

    // bench
    w->show();
    QSignalSpy done(w->engine(), &BrowserEngine::documentComplete);
    const qint64 shown = sinceStart.elapsed();
    if (!done.wait(30000)) {
        out << "start page never completed\n";
        return 1;
    }
    const qint64 loaded = sinceStart.elapsed();
    settle(2000);
    const qint64 pid = QCoreApplication::applicationPid();
    const QList<qint64> openTree = processTree(pid);
    const qint64 openRss = residentKiB(openTree);
    const qint64 openPss = proportionalKiB(openTree);
    QString openList;
    for (qint64 p : openTree)
        openList
            += u"  "_s + processName(p) + u" "_s + QString::number(residentKiB({ p }) / 1024) + u" MiB"_s;
    w->close();
    settle(5000);
    const QList<qint64> closedTree = processTree(pid);
    const qint64 closedRss = residentKiB(closedTree);
    const qint64 closedPss = proportionalKiB(closedTree);
    QString closedList;
    for (qint64 p : closedTree)
        closedList
            += u"  "_s + processName(p) + u" "_s + QString::number(residentKiB({ p }) / 1024) + u" MiB"_s;
    out << "open:" << openList << "\nclosed:" << closedList << "\n";
    out << "window shown after       " << shown << " ms\n"
        << "start page complete after " << loaded << " ms\n"
        << "window open:   RSS " << openRss / 1024 << " MiB, PSS " << openPss / 1024 << " MiB in "
        << openTree.size() << " processes\n"
        << "window closed: RSS " << closedRss / 1024 << " MiB, PSS " << closedPss / 1024 << " MiB in "
        << closedTree.size() << " processes\n";
    return 0;
}
