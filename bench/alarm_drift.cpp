// Arms all ten slots and lets them count down on real timers for a while,
// then reports how far each slot's count has drifted from real time, the CPU
// time the process used and how often it woke up.
//
//   bench_alarm_drift [seconds=600] [stagger-ms=0]
//
// stagger-ms arms slot n at (n - 1) * stagger-ms, as a user arming them one
// by one would. Stop the process for a while (kill -STOP, then -CONT) during
// a run to see the catch-up after a gap.

#include "auction_timers.h"
#include "test_services.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include <array>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

long procStatus(const QByteArray &key)
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().toLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 600;
    const int stagger = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;

    TestServices ts;
    // The timers on real clocks, every second stepped, as with a window open.
    AuctionTimers timers(ts.store, ts.persistence, ts.serviceClock, ts.sound, ts.windows, ts.statusLine,
        ts.fetcher, &AuctionTimers::bootClockMs);
    constexpr qint64 kTotal = 1000000;
    const auto count = [&timers](int n) { return kTotal - timers.timer(n).secondsLeft(); };

    std::array<qint64, kSlotCount> armedAt {};
    std::array<qint64, kSlotCount> lastTick {};
    std::array<qint64, kSlotCount> maxLate {};
    // After a step: how late is each count's latest second against the
    // steady clock?
    QObject::connect(&ts.statusLine, &StatusLine::changed, &app, [&] {
        const qint64 now = AuctionTimers::bootClockMs();
        for (int n = 1; n <= kSlotCount; ++n) {
            if (!timers.timer(n).isArmed())
                continue;
            const qint64 late = now - (armedAt[n - 1] + count(n) * 1000);
            lastTick[n - 1] = late;
            maxLate[n - 1] = std::max(maxLate[n - 1], late);
        }
    });

    const long ctxStart = procStatus("voluntary_ctxt_switches:");
    const long nctxStart = procStatus("nonvoluntary_ctxt_switches:");
    const double cpuStart = cpuSeconds();
    const qint64 start = AuctionTimers::bootClockMs();

    ts.store.setValue(u"infotime"_s, u"-1"_s); // never alerts
    JapanClock machine;
    for (int n = 1; n <= kSlotCount; ++n) {
        QTimer::singleShot((n - 1) * stagger, &app, [&, n] {
            // Counted from this machine's last whole second, as every count is.
            const QDateTime now = machine.now();
            ts.clock.set(now);
            armedAt[n - 1] = AuctionTimers::bootClockMs() - now.time().msec();
            timers.assign(n, { u"item "_s + QString::number(n), u"file:///item"_s, {} },
                now.addMSecs(-now.time().msec()).addSecs(kTotal));
        });
    }

    QTimer::singleShot(seconds * 1000 + 500 + 9 * stagger, &app, [&] {
        const qint64 now = AuctionTimers::bootClockMs();
        const double real = (now - start) / 1000.0;
        const double cpu = cpuSeconds() - cpuStart;
        const long ctx = procStatus("voluntary_ctxt_switches:") - ctxStart;
        const long nctx = procStatus("nonvoluntary_ctxt_switches:") - nctxStart;
        std::printf("ran %.3f s, stagger %d ms\n", real, stagger);
        for (int n = 1; n <= kSlotCount; ++n) {
            const qint64 elapsedMs = now - armedAt[n - 1];
            std::printf("slot %2d  count %6lld  seconds since armed %9.3f  count - whole seconds %+lld  "
                        "last tick %+lld ms  latest tick ever %+lld ms\n",
                n, count(n), elapsedMs / 1000.0, count(n) - elapsedMs / 1000, lastTick[n - 1],
                maxLate[n - 1]);
        }
        std::printf("cpu time             %.3f s (%.4f %% of one core)\n", cpu, 100.0 * cpu / real);
        std::printf("voluntary switches   %ld (%.2f per second)\n", ctx, ctx / real);
        std::printf("involuntary switches %ld\n", nctx);
        app.quit();
    });
    return app.exec();
}
