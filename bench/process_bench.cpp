// Measures the real program from outside, on an X server with a tray host:
// start-up, memory of the whole process tree, idle cost, and how close the
// alerts come to their moment. Prints rows of the table bench/run shows.
//
//   bench_process --program build/larkvane --data data [--runs 5]
//                 [--idle-seconds 20] [--only startup,memory,idle,alert,stop]
//
// Run it under xvfb-run; it starts trayer itself. ktimer and kalarm are
// measured beside the program when they are installed.

#include "cp932_codec.h"
#include "proc_stats.h"
#include "x_display.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kJapanOffset = 9 * 3600;

qint64 monotonicMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

qint64 wallMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void report(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

std::optional<double> median(QList<double> values)
{
    if (values.isEmpty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    const qsizetype mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

QString number(std::optional<double> value, int decimals = 0)
{
    return value ? QString::number(*value, 'f', decimals) : u"n/a"_s;
}

QString ratio(std::optional<double> ours, std::optional<double> theirs)
{
    if (!ours || !theirs || *theirs == 0)
        return u"n/a"_s;
    return QString::number(*ours / *theirs, 'f', 2);
}

// yy/mm/dd hh:mm in Japan time, as the settings file keeps end times.
QString endText(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, QTimeZone(kJapanOffset))
        .toString(u"yy/MM/dd HH:mm"_s);
}

qint64 nextMinuteMs(qint64 ms)
{
    return (ms / 60000 + 1) * 60000;
}

struct Slot
{
    QString title;
    qint64 endMs = 0;
    int lead = -1; // -1: the default lead
};

QByteArray iniFor(bool trayOnly, const QList<Slot> &slots)
{
    QByteArray ini = "[pref]\r\nINI=60\r\nx_pos=600\r\ny_pos=600\r\nwidth=13500\r\nheight=10500\r\ncheck="
        + QByteArray(trayOnly ? "1" : "0")
        + "\r\ntbar1=1\r\ntbar2=1\r\ntbar2mode=3\r\nMes_pos1=\r\nMes_pos2=\r\n[Sound_File]\r\nwave=\r\n"
          "[Auction_File]\r\n";
    for (int n = 1; n <= 10; ++n) {
        const QByteArray k = QByteArray::number(n);
        const Slot s = slots.value(n - 1);
        const bool used = n <= slots.size();
        ini += "data" + k + "=" + Cp932::encode(s.title) + "\r\n";
        ini += "start" + k + "=" + (used ? "26/01/01 00:00" : "") + "\r\n";
        ini += "end" + k + "=" + (used ? endText(s.endMs).toLatin1() : QByteArray()) + "\r\n";
        ini += "URL" + k + "="
            + (used ? "https://page.auctions.yahoo.co.jp/jp/auction/b10" + k : QByteArray()) + "\r\n";
        ini += "retime" + k + "=" + (used && s.lead >= 0 ? QByteArray::number(s.lead) : QByteArray())
            + "\r\n";
    }
    return ini;
}

// Ten occupied slots, all ending tomorrow: armed, and silent for the run.
QList<Slot> tenArmedSlots()
{
    QList<Slot> slots;
    for (int n = 1; n <= 10; ++n)
        slots.append({ u"ノートパソコン %1 台目"_s.arg(n), nextMinuteMs(wallMs() + 86400000), -1 });
    return slots;
}

// A program under test: how to prepare its files and start it.
struct Subject
{
    QString name;
    QString program;
    QStringList arguments;
    // Fills the working folder (and the home folder) before a start.
    std::function<void(const QString &work, const QString &home)> prepare;
};

struct Launch
{
    std::unique_ptr<QProcess> process;
    std::unique_ptr<QTemporaryDir> work;
    std::unique_ptr<QTemporaryDir> runtime;
    qint64 startedMs = 0;
    qint64 startedWallMs = 0;

    qint64 pid() const { return process ? process->processId() : 0; }
    bool running() const { return process && process->state() == QProcess::Running; }
};

class Bench
{
public:
    Bench(QString program, QString data, int runs, int idleSeconds)
        : m_program(std::move(program))
        , m_data(std::move(data))
        , m_runs(runs)
        , m_idleSeconds(idleSeconds)
    {
    }

    bool startTrayHost();
    void stopTrayHost();
    // ktimer will not run without a session bus; every program measured
    // gets the same private one, with no StatusNotifierItem host on it.
    void startSessionBus();

    Subject larkvane(bool trayOnly, const QList<Slot> &slots) const;
    static std::optional<Subject> ktimer();
    static std::optional<Subject> kalarm();

    struct TrayFigures
    {
        QList<double> startMs, rssMiB, pssMiB, cpuMsPerMin, switchesPerMin;
    };
    TrayFigures trayOnly(const Subject &subject, int runs, int idleRuns);

    struct BrowserFigures
    {
        QList<double> pageMs, openRss, openPss, closedRss, closedPss;
    };
    BrowserFigures browser(int runs);

    struct AlertFigures
    {
        QList<double> lateMs;
        // Each alert beyond the earliest of its run: what the load added to
        // the offset that start-up's place in its second gives every alert.
        QList<double> jitterMs;
        QList<double> catchUpMs; // from the continue to the alert due during the stop
        QList<double> afterStopLateMs;
    };
    AlertFigures alerts(int runs);
    AlertFigures stops(int runs);

    QString home() const { return m_home.path(); }

private:
    Launch launch(const Subject &subject, bool alignToSecond = false);
    void end(Launch &l);
    QList<qint64> seenAlerts(Launch &l, int count, const std::function<void(qint64)> &onTick, int timeoutMs);

    QString m_program;
    QString m_data;
    int m_runs;
    int m_idleSeconds;
    QTemporaryDir m_home;
    XDisplay m_x;
    std::unique_ptr<QProcess> m_trayHost;
    std::unique_ptr<QProcess> m_bus;
    QString m_busAddress;
};

bool Bench::startTrayHost()
{
    if (!m_x.isOpen()) {
        report(u"no X display: run this under xvfb-run"_s);
        return false;
    }
    m_trayHost = std::make_unique<QProcess>();
    m_trayHost->start(u"trayer"_s, { u"--edge"_s, u"top"_s, u"--widthtype"_s, u"request"_s });
    if (!m_trayHost->waitForStarted(5000)) {
        report(u"trayer does not start"_s);
        return false;
    }
    const qint64 pid = m_trayHost->processId();
    return m_x.waitUntil([&] { return !m_x.windowsOf(pid).isEmpty(); }, 10000);
}

void Bench::stopTrayHost()
{
    for (QProcess *p : { m_trayHost.get(), m_bus.get() }) {
        if (!p)
            continue;
        p->terminate();
        p->waitForFinished(5000);
    }
}

void Bench::startSessionBus()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        return;
    m_bus = std::make_unique<QProcess>();
    m_bus->start(daemon, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
    if (m_bus->waitForStarted(5000) && m_bus->waitForReadyRead(5000))
        m_busAddress = QString::fromLocal8Bit(m_bus->readLine().trimmed());
}

Subject Bench::larkvane(bool trayOnly, const QList<Slot> &slots) const
{
    const QString data = m_data;
    const QByteArray ini = iniFor(trayOnly, slots);
    return { u"Larkvane"_s, m_program, {}, [data, ini](const QString &work, const QString &) {
                QDir(work).mkpath(u"html"_s);
                QFile::copy(data + u"/html/serch.html"_s, work + u"/html/serch.html"_s);
                QFile::copy(data + u"/timecall.wav"_s, work + u"/timecall.wav"_s);
                QFile f(work + u"/larkvane.ini"_s);
                if (f.open(QIODevice::WriteOnly))
                    f.write(ini);
            } };
}

std::optional<Subject> Bench::ktimer()
{
    const QString path = QStandardPaths::findExecutable(u"ktimer"_s);
    if (path.isEmpty())
        return std::nullopt;
    // Ten running jobs a day long, the counterpart of ten armed slots.
    return Subject { u"ktimer"_s, path, {}, [](const QString &, const QString &home) {
                        QDir(home).mkpath(u".config"_s);
                        QFile f(home + u"/.config/ktimerrc"_s);
                        if (!f.open(QIODevice::WriteOnly))
                            return;
                        QByteArray rc = "[Jobs]\nNumber=10\n";
                        for (int i = 0; i < 10; ++i)
                            rc += "\n[Job" + QByteArray::number(i)
                                + "]\nCommand=true\nConsecutive=false\nDelay=86400\nLoop=false\n"
                                  "OneInstance=true\nState=2\nValue=86400\n";
                        f.write(rc);
                    } };
}

std::optional<Subject> Bench::kalarm()
{
    const QString path = QStandardPaths::findExecutable(u"kalarm"_s);
    if (path.isEmpty())
        return std::nullopt;
    return Subject { u"kalarm"_s, path, { u"--tray"_s }, [](const QString &, const QString &) {} };
}

Launch Bench::launch(const Subject &subject, bool alignToSecond)
{
    Launch l;
    l.work = std::make_unique<QTemporaryDir>();
    l.runtime = std::make_unique<QTemporaryDir>();
    subject.prepare(l.work->path(), m_home.path());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, l.runtime->path());
    env.insert(u"HOME"_s, m_home.path());
    env.insert(u"LANG"_s, u"C.UTF-8"_s);
    env.remove(u"QT_QPA_PLATFORM"_s);
    env.remove(u"XDG_CONFIG_HOME"_s);
    env.remove(u"XDG_DATA_HOME"_s);
    if (m_busAddress.isEmpty())
        env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    else
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_busAddress);
    if (::getuid() == 0)
        env.insert(u"QTWEBENGINE_DISABLE_SANDBOX"_s, u"1"_s);

    l.process = std::make_unique<QProcess>();
    l.process->setProcessEnvironment(env);
    l.process->setWorkingDirectory(l.work->path());
    // Chromium talks a lot on its error output; keep it for when a run fails.
    l.process->setStandardOutputFile(QProcess::nullDevice());
    l.process->setStandardErrorFile(l.runtime->filePath(u"stderr.log"_s));
    if (alignToSecond) {
        // Start right after a whole second: the restore counts whole
        // seconds, so the fraction of the second at start-up would
        // otherwise scatter every alert by up to a second.
        const qint64 now = wallMs();
        QThread::usleep(quint64((1000 - now % 1000) % 1000) * 1000);
    }
    l.startedWallMs = wallMs();
    l.startedMs = monotonicMs();
    l.process->start(subject.program, subject.arguments);
    if (!l.process->waitForStarted(10000))
        report(subject.name + u" does not start: "_s + l.process->errorString());
    return l;
}

QString errorOutput(const Launch &l)
{
    QFile log(l.runtime->filePath(u"stderr.log"_s));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(4000)) : QString();
}

void Bench::end(Launch &l)
{
    if (!l.running()) {
        report(u"it had ended by itself; its error output:\n"_s + errorOutput(l));
        return;
    }
    const qint64 pid = l.pid();
    // Renderers and helpers go with the program; collect them to be sure.
    const QList<qint64> tree = ProcStats::processTree(pid);
    l.process->terminate();
    if (!l.process->waitForFinished(15000)) {
        l.process->kill();
        l.process->waitForFinished(5000);
    }
    for (qint64 p : tree) {
        if (p != pid)
            ::kill(pid_t(p), SIGKILL);
    }
    if (m_trayHost)
        m_x.waitUntil([&] { return m_x.dockedIcons(m_trayHost->processId()).isEmpty(); }, 5000);
}

Bench::TrayFigures Bench::trayOnly(const Subject &subject, int runs, int idleRuns)
{
    TrayFigures f;
    const qint64 host = m_trayHost->processId();
    for (int run = 0; run < runs; ++run) {
        Launch l = launch(subject);
        const bool docked = m_x.waitUntil([&] { return !m_x.dockedIcons(host).isEmpty(); }, 30000, 2);
        const qint64 dockedAt = monotonicMs();
        if (!docked || !l.running()) {
            report(subject.name + u": the tray icon did not come up; its error output:\n"_s + errorOutput(l));
            end(l);
            continue;
        }
        f.startMs << double(dockedAt - l.startedMs);
        // A program that opens a window anyway is sent to the tray first.
        m_x.waitUntil([] { return false; }, 1000);
        for (XDisplay::Window w : m_x.windowsOf(l.pid()))
            m_x.requestClose(w);
        m_x.waitUntil([&] { return m_x.windowsOf(l.pid()).isEmpty(); }, 5000);

        QThread::sleep(3);
        const ProcStats::Memory m = ProcStats::memory(ProcStats::processTree(l.pid()));
        f.rssMiB << m.rssKiB / 1024.0;
        f.pssMiB << m.pssKiB / 1024.0;
        QString line = u"%1 tray-only run %2: icon after %3 ms, RSS %4 MiB, PSS %5 MiB"_s.arg(subject.name)
                           .arg(run + 1)
                           .arg(f.startMs.last())
                           .arg(f.rssMiB.last(), 0, 'f', 1)
                           .arg(f.pssMiB.last(), 0, 'f', 1);
        if (run < idleRuns) {
            const QList<qint64> tree = ProcStats::processTree(l.pid());
            const ProcStats::Activity a0 = ProcStats::activity(tree);
            const qint64 t0 = monotonicMs();
            QThread::sleep(unsigned(m_idleSeconds));
            const ProcStats::Activity a1 = ProcStats::activity(ProcStats::processTree(l.pid()));
            const double minutes = (monotonicMs() - t0) / 60000.0;
            const ProcStats::Activity d = ProcStats::since(a0, a1);
            f.cpuMsPerMin << d.cpuNs / 1e6 / minutes;
            f.switchesPerMin << d.switches / minutes;
            line += u", idle %1 ms CPU and %2 switches a minute"_s.arg(f.cpuMsPerMin.last(), 0, 'f', 1)
                        .arg(f.switchesPerMin.last(), 0, 'f', 0);
        }
        report(line);
        end(l);
    }
    return f;
}

Bench::BrowserFigures Bench::browser(int runs)
{
    BrowserFigures f;
    QString title;
    {
        QFile page(m_data + u"/html/serch.html"_s);
        if (page.open(QIODevice::ReadOnly)) {
            const QString html = QString::fromUtf8(page.readAll());
            const qsizetype open = html.indexOf(u"<title>"_s);
            const qsizetype close = html.indexOf(u"</title>"_s);
            if (open >= 0 && close > open)
                title = html.mid(open + 7, close - open - 7).trimmed();
        }
    }
    // The caption becomes the page title once the start page has loaded.
    const QString shownCaption = title + u" - Larkvane"_s;
    const Subject subject = larkvane(false, tenArmedSlots());
    for (int run = 0; run < runs; ++run) {
        Launch l = launch(subject);
        XDisplay::Window window = 0;
        const bool shown = m_x.waitUntil(
            [&] {
                // The browser window belongs to the browser process, a child.
                for (qint64 pid : ProcStats::processTree(l.pid())) {
                    for (XDisplay::Window w : m_x.windowsOf(pid)) {
                        if (m_x.name(w) == shownCaption) {
                            window = w;
                            return true;
                        }
                    }
                }
                return !l.running();
            },
            60000, 2);
        if (!shown || !window) {
            report(u"the start page was not shown; the error output:\n"_s + errorOutput(l));
            end(l);
            continue;
        }
        f.pageMs << double(monotonicMs() - l.startedMs);
        QThread::sleep(3);
        const ProcStats::Memory open = ProcStats::memory(ProcStats::processTree(l.pid()));
        m_x.requestClose(window);
        m_x.waitUntil([&] { return ProcStats::processTree(l.pid()).size() == 1; }, 10000);
        QThread::sleep(5);
        const QList<qint64> closedTree = ProcStats::processTree(l.pid());
        const ProcStats::Memory closed = ProcStats::memory(closedTree);
        f.openRss << open.rssKiB / 1024.0;
        f.openPss << open.pssKiB / 1024.0;
        f.closedRss << closed.rssKiB / 1024.0;
        f.closedPss << closed.pssKiB / 1024.0;
        report(
            u"browser run %1: start page after %2 ms, open RSS %3 / PSS %4 MiB, closed RSS %5 / PSS %6 MiB "
            u"in %7 processes"_s.arg(run + 1)
                .arg(f.pageMs.last())
                .arg(f.openRss.last(), 0, 'f', 1)
                .arg(f.openPss.last(), 0, 'f', 1)
                .arg(f.closedRss.last(), 0, 'f', 1)
                .arg(f.closedPss.last(), 0, 'f', 1)
                .arg(closedTree.size()));
        end(l);
    }
    return f;
}

// Wall-clock times at which new windows of the program appeared: each alert
// opens its window anew.
QList<qint64> Bench::seenAlerts(
    Launch &l, int count, const std::function<void(qint64)> &onTick, int timeoutMs)
{
    QList<qint64> seen;
    QList<XDisplay::Window> known;
    m_x.waitUntil(
        [&] {
            const qint64 now = wallMs();
            for (XDisplay::Window w : m_x.windowsOf(l.pid())) {
                if (!known.contains(w)) {
                    known << w;
                    seen << now;
                }
            }
            if (onTick)
                onTick(now);
            return seen.size() >= count || !l.running();
        },
        timeoutMs, 2);
    return seen;
}

// The first sighting at or after each intended moment, before the next one.
QList<double> lateness(const QList<qint64> &intended, const QList<qint64> &seen)
{
    QList<double> late;
    for (qsizetype k = 0; k < intended.size(); ++k) {
        const qint64 from = intended[k] - 500;
        const qint64 to
            = k + 1 < intended.size() ? intended[k + 1] - 500 : std::numeric_limits<qint64>::max();
        for (qint64 s : seen) {
            if (s >= from && s < to) {
                late << double(s - intended[k]);
                break;
            }
        }
    }
    return late;
}

Bench::AlertFigures Bench::alerts(int runs)
{
    AlertFigures f;
    constexpr int kAlerts = 10;
    constexpr int kFirstAfter = 6; // seconds after the start
    constexpr int kApart = 3;
    for (int run = 0; run < runs; ++run) {
        std::array<std::unique_ptr<QProcess>, 2> burners;
        for (auto &b : burners) {
            b = std::make_unique<QProcess>();
            b->start(QCoreApplication::applicationFilePath(), { u"--burn"_s });
            b->waitForStarted();
        }
        // Every slot ends at the same minute; the leads set the alert moments.
        const qint64 startGuess = (wallMs() / 1000 + 1) * 1000;
        const qint64 endMs = nextMinuteMs(startGuess + (kFirstAfter + kApart * kAlerts + 5) * 1000);
        QList<Slot> slots;
        QList<qint64> intended;
        for (int k = 0; k < kAlerts; ++k) {
            const qint64 moment = startGuess + (kFirstAfter + kApart * k) * 1000;
            slots.append({ u"カメラ %1"_s.arg(k + 1), endMs, int((endMs - moment) / 1000) });
            intended << moment;
        }
        Launch l = launch(larkvane(true, slots), true);
        if (l.startedWallMs >= startGuess + 1000)
            report(u"the start slipped past its second; this run is off by a second"_s);
        const QList<qint64> seen = seenAlerts(l, kAlerts, {}, (kFirstAfter + kApart * kAlerts + 10) * 1000);
        const QList<double> late = lateness(intended, seen);
        f.lateMs += late;
        if (!late.isEmpty()) {
            const double base = *std::min_element(late.begin(), late.end());
            for (double d : late)
                f.jitterMs << d - base;
        }
        QStringList shown;
        for (double d : late)
            shown << QString::number(d);
        report(u"alert run %1 with two CPU-bound processes: %2 of %3 alerts, late by %4 ms"_s.arg(run + 1)
                   .arg(late.size())
                   .arg(kAlerts)
                   .arg(shown.join(u", "_s)));
        end(l);
        for (auto &b : burners) {
            b->kill();
            b->waitForFinished();
        }
    }
    return f;
}

Bench::AlertFigures Bench::stops(int runs)
{
    AlertFigures f;
    constexpr int kStopAt = 5;
    constexpr int kStopFor = 10;
    for (int run = 0; run < runs; ++run) {
        const qint64 startGuess = (wallMs() / 1000 + 1) * 1000;
        const qint64 during = startGuess + (kStopAt + kStopFor / 2) * 1000;
        const qint64 after = startGuess + (kStopAt + kStopFor + 5) * 1000;
        const qint64 endMs = nextMinuteMs(after + 5000);
        const QList<Slot> slots { { u"時計"_s, endMs, int((endMs - during) / 1000) },
            { u"腕時計"_s, endMs, int((endMs - after) / 1000) } };
        Launch l = launch(larkvane(true, slots), true);
        qint64 stoppedAt = 0;
        qint64 continuedAt = 0;
        const QList<qint64> seen = seenAlerts(
            l, 2,
            [&](qint64 now) {
                if (!stoppedAt && now >= startGuess + kStopAt * 1000) {
                    ::kill(pid_t(l.pid()), SIGSTOP);
                    stoppedAt = now;
                } else if (stoppedAt && !continuedAt && now >= stoppedAt + kStopFor * 1000) {
                    ::kill(pid_t(l.pid()), SIGCONT);
                    continuedAt = now;
                }
            },
            (kStopAt + kStopFor + 15) * 1000);
        if (seen.size() == 2 && continuedAt) {
            f.catchUpMs << double(seen[0] - continuedAt);
            f.afterStopLateMs << double(seen[1] - after);
            report(u"stop run %1: the alert due during the stop came %2 ms after the continue, the next one "
                   u"%3 ms "
                   u"after its moment"_s.arg(run + 1)
                       .arg(f.catchUpMs.last())
                       .arg(f.afterStopLateMs.last()));
        } else {
            report(u"stop run %1: %2 of 2 alerts seen"_s.arg(run + 1).arg(seen.size()));
        }
        if (continuedAt == 0 && stoppedAt)
            ::kill(pid_t(l.pid()), SIGCONT);
        end(l);
    }
    return f;
}

void row(const QString &what, const QString &ours, const QString &other = {}, const QString &r = {})
{
    std::printf(
        "| %s | %s | %s | %s |\n", qPrintable(what), qPrintable(ours), qPrintable(other), qPrintable(r));
}

QString pair(std::optional<double> rss, std::optional<double> pss)
{
    return number(pss) + u" / "_s + number(rss);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        { u"program"_s, u"the larkvane executable"_s, u"path"_s },
        { u"data"_s, u"the folder with html/serch.html and timecall.wav"_s, u"path"_s },
        { u"runs"_s, u"runs of each start-up measure"_s, u"n"_s, u"5"_s },
        { u"idle-seconds"_s, u"how long each idle measure lasts"_s, u"s"_s, u"20"_s },
        { u"only"_s, u"startup,memory,idle,alert,stop"_s, u"list"_s },
        { u"burn"_s, u"spin until killed (the CPU-bound neighbours)"_s },
    });
    parser.process(app);
    if (parser.isSet(u"burn"_s)) {
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    }

    const int runs = std::max(1, parser.value(u"runs"_s).toInt());
    const QStringList only = parser.value(u"only"_s).split(u',', Qt::SkipEmptyParts);
    const auto wanted = [&](const QString &what) { return only.isEmpty() || only.contains(what); };

    const QFileInfo program(parser.value(u"program"_s));
    Bench bench(program.absoluteFilePath(), QFileInfo(parser.value(u"data"_s)).absoluteFilePath(), runs,
        parser.value(u"idle-seconds"_s).toInt());
    bench.startSessionBus();
    if (!program.isExecutable() || !bench.startTrayHost()) {
        report(u"cannot measure: need --program, an X display and trayer"_s);
        return 1;
    }

    const int idleRuns = std::max(1, (runs + 1) / 2);
    const bool idle = wanted(u"idle"_s);
    if (wanted(u"startup"_s) || wanted(u"memory"_s) || idle) {
        const Bench::TrayFigures ours
            = bench.trayOnly(bench.larkvane(true, tenArmedSlots()), runs, idle ? idleRuns : 0);
        const Bench::BrowserFigures web = wanted(u"startup"_s) || wanted(u"memory"_s)
            ? bench.browser(std::max(1, runs - 2))
            : Bench::BrowserFigures {};

        struct Other
        {
            QString name;
            Bench::TrayFigures figures;
        };
        QList<Other> others;
        for (const std::optional<Subject> &s : { Bench::ktimer(), Bench::kalarm() }) {
            if (s)
                others.append({ s->name, bench.trayOnly(*s, idleRuns, idle ? idleRuns : 0) });
        }
        const auto otherColumn = [&](auto pick) {
            QStringList cells;
            for (const Other &o : others)
                cells << o.name + u' ' + pick(o.figures);
            return cells.join(u"; "_s);
        };
        const auto otherRatio = [&](std::optional<double> mine, auto field) {
            QStringList cells;
            for (const Other &o : others)
                cells << ratio(mine, median(o.figures.*field)) + u" ("_s + o.name + u')';
            return cells.join(u"; "_s);
        };

        row(u"start-up to tray icon docked, ten slots restored (ms)"_s, number(median(ours.startMs)));
        row(u"start-up to start page shown (ms)"_s, number(median(web.pageMs)));
        row(u"memory, tray only: PSS / RSS (MiB)"_s, pair(median(ours.rssMiB), median(ours.pssMiB)),
            otherColumn([](const Bench::TrayFigures &t) { return pair(median(t.rssMiB), median(t.pssMiB)); }),
            otherRatio(median(ours.pssMiB), &Bench::TrayFigures::pssMiB));
        row(u"memory, browser open on the start page: PSS / RSS (MiB)"_s,
            pair(median(web.openRss), median(web.openPss)));
        row(u"memory, browser closed again: PSS / RSS (MiB)"_s,
            pair(median(web.closedRss), median(web.closedPss)));
        if (idle) {
            row(u"idle CPU, ten armed slots (ms a minute)"_s, number(median(ours.cpuMsPerMin), 1),
                otherColumn([](const Bench::TrayFigures &t) { return number(median(t.cpuMsPerMin), 1); }),
                otherRatio(median(ours.cpuMsPerMin), &Bench::TrayFigures::cpuMsPerMin));
            row(u"idle wake-ups, ten armed slots (context switches a minute)"_s,
                number(median(ours.switchesPerMin)),
                otherColumn([](const Bench::TrayFigures &t) { return number(median(t.switchesPerMin)); }),
                otherRatio(median(ours.switchesPerMin), &Bench::TrayFigures::switchesPerMin));
        }
    }
    if (wanted(u"alert"_s)) {
        const Bench::AlertFigures a = bench.alerts(std::max(1, runs / 2));
        const auto worst = [](const QList<double> &v) {
            return v.isEmpty() ? u"n/a"_s : QString::number(*std::max_element(v.begin(), v.end()), 'f', 0);
        };
        row(u"alert after its moment, two CPU-bound processes beside: median / worst of %1 (ms)"_s.arg(
                a.lateMs.size()),
            number(median(a.lateMs)) + u" / "_s + worst(a.lateMs));
        row(u"alert beyond the earliest of its run (what the load adds): median / worst (ms)"_s,
            number(median(a.jitterMs)) + u" / "_s + worst(a.jitterMs));
    }
    if (wanted(u"stop"_s)) {
        const Bench::AlertFigures s = bench.stops(std::max(1, runs / 2));
        row(u"10 s SIGSTOP: alert due during the stop, after SIGCONT (ms)"_s, number(median(s.catchUpMs)));
        row(u"10 s SIGSTOP: next alert after its moment (ms)"_s, number(median(s.afterStopLateMs)));
    }
    bench.stopTrayHost();
    return 0;
}
