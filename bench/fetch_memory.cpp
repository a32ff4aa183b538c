// Memory of the tray process across page reads that hit the 32 MB cap. Ten
// armed slots end within ten minutes, so at its first tick the program reads
// their ten pages again (the extension follower). Loopback servers hold the
// ten requests until the process has settled, measure it, then send each a
// 200 MB body of undeclared length (or a chunked one that never ends; a
// declared length over the cap is refused before the body) and measure again
// once the program has hung up on all ten. Prints one row of a table:
//
//   bench_fetch_memory --program build/larkvane [--mb 200] [--chunked]
//
// Run it under xvfb-run: it starts trayer, so that the program starts in the
// tray and its browser process stays out of the way.

#include "http_test_server.h"
#include "proc_stats.h"
#include "x_display.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

void report(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

// The most the process has held at once, from the kernel's own count.
qint64 peakKiB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QString mib(qint64 kib)
{
    return QString::number(double(kib) / 1024, 'f', 0);
}

// Ten slots, each with its page on a server of its own (the network layer
// opens at most six connections to one server), ending in five minutes (Japan
// time, as the file keeps it); lead 0 s, no sound, start in the tray.
QByteArray iniFor(const std::vector<std::unique_ptr<HttpTestServer>> &servers)
{
    const QDateTime end = QDateTime::currentDateTimeUtc().addSecs(9 * 3600 + 300);
    QByteArray ini
        = "[pref]\r\nINI=0\r\ncheck=1\r\n[Sound_File]\r\nwave=/nonexistent.wav\r\n[Auction_File]\r\n";
    for (int n = 1; n <= 10; ++n) {
        const QByteArray k = QByteArray::number(n);
        ini += "data" + k + "=bench item " + k + "\r\nstart" + k + "=N/A\r\nend" + k + "="
            + end.toString(u"yy/MM/dd HH:mm"_s).toLatin1() + "\r\nURL" + k + "="
            + servers[size_t(n - 1)]->url(u"/item"_s).toEncoded() + "\r\nretime" + k + "=\r\n";
    }
    return ini;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addOption({ u"program"_s, u"the larkvane executable"_s, u"path"_s });
    cli.addOption({ u"mb"_s, u"size of each page"_s, u"MB"_s, u"200"_s });
    cli.addOption({ u"chunked"_s, u"chunked bodies that never end instead"_s });
    cli.process(app);
    const bool chunked = cli.isSet(u"chunked"_s);
    const qint64 bytes = cli.value(u"mb"_s).toLongLong() * 1000 * 1000;

    XDisplay x;
    if (cli.value(u"program"_s).isEmpty() || !x.isOpen()) {
        report(u"need --program and an X display (xvfb-run)"_s);
        return 1;
    }
    QProcess trayHost;
    trayHost.start(u"trayer"_s, { u"--edge"_s, u"top"_s, u"--widthtype"_s, u"request"_s });
    if (!trayHost.waitForStarted(5000)
        || !x.waitUntil([&] { return !x.windowsOf(trayHost.processId()).isEmpty(); }, 10000)) {
        report(u"trayer does not start"_s);
        return 1;
    }

    HttpTestServer::Reply page;
    page.stream = chunked ? HttpTestServer::kEndless : bytes;
    page.held = true;
    std::vector<std::unique_ptr<HttpTestServer>> servers;
    int ended = 0;
    qint64 sent = 0;
    for (int n = 1; n <= 10; ++n) {
        auto server = std::make_unique<HttpTestServer>();
        if (!server->listen())
            return 1;
        server->setReply(u"/item"_s, page);
        QObject::connect(server.get(), &HttpTestServer::streamEnded, [&](qint64 bytesSent) {
            ++ended;
            sent += bytesSent;
        });
        servers.push_back(std::move(server));
    }
    const auto held = [&] {
        int count = 0;
        for (const auto &s : servers)
            count += s->heldCount();
        return count;
    };

    QTemporaryDir work;
    QTemporaryDir runtime;
    QTemporaryDir home;
    QFile ini(QDir(work.path()).filePath(u"larkvane.ini"_s));
    if (!ini.open(QIODevice::WriteOnly) || ini.write(iniFor(servers)) < 0)
        return 1;
    ini.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    env.insert(u"HOME"_s, home.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(work.path());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(cli.value(u"program"_s), {});
    if (!program.waitForStarted(10000) || !waitFor([&] { return held() == 10; }, 20000)) {
        report(u"the program did not ask for its ten pages"_s);
        program.kill();
        return 1;
    }
    const qint64 pid = program.processId();
    QTest::qWait(2000); // start-up settles
    const ProcStats::Memory before = ProcStats::memory({ pid });

    for (const auto &s : servers)
        s->releaseHeld();
    if (!waitFor([&] { return ended == 10; }, 60000)) {
        report(u"the program did not stop reading"_s);
        program.kill();
        return 1;
    }
    QTest::qWait(3000); // anything freed late is freed
    const ProcStats::Memory after = ProcStats::memory({ pid });
    const qint64 peak = peakKiB(pid);

    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(30000);
    trayHost.terminate();
    trayHost.waitForFinished(5000);

    const QString kind = chunked ? u"chunked, no end"_s : u"%1 MB, length undeclared"_s.arg(bytes / 1000000);
    // | reads | before: RSS / PSS MiB | peak RSS | after: RSS / PSS | growth | MB sent |
    std::printf("| ten capped reads (%s) | %s / %s | %s | %s / %s | %s | %s |\n", qPrintable(kind),
        qPrintable(mib(before.rssKiB)), qPrintable(mib(before.pssKiB)), qPrintable(mib(peak)),
        qPrintable(mib(after.rssKiB)), qPrintable(mib(after.pssKiB)),
        qPrintable(mib(after.rssKiB - before.rssKiB)),
        qPrintable(QString::number(double(sent) / 1e6, 'f', 0)));
    return 0;
}
