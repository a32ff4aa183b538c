// Counts real slots to the ends a loopback auction host serves, with the
// host's clock 30 s ahead of this machine's, and reports how far each alert
// falls from its lead before the service's end, and how long an extension
// served six seconds before the end takes to reach the slot.
//
//   bench_end_truth [runs=5]
//
// Prints two rows of the README's table on standard output.

#include "auction_timers.h"
#include "doubles.h"
#include "http_test_server.h"
#include "page_fetcher.h"
#include "page_watcher.h"
#include "program.h"
#include "registration.h"
#include "service_clock.h"
#include "settings_fields.h"
#include "sleep_guard.h"
#include "temp_work_dir.h"

#include <QApplication>
#include <QNetworkProxy>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kAheadMs = 30000;
constexpr int kLead = 8;

class TimedSound final : public SoundPlayer
{
public:
    void play(const QString &) override { plays << QDateTime::currentMSecsSinceEpoch(); }
    QList<qint64> plays;
};

QDateTime serviceNow()
{
    return QDateTime::currentDateTimeUtc().addMSecs(kAheadMs).toOffsetFromUtc(kJapanOffsetSeconds);
}

QByteArray itemPage(const QDateTime &end)
{
    const double left = serviceNow().msecsTo(end) / 1000.0;
    return "<html><body><script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
           "{\"initialState\":{\"item\":{\"detail\":{\"item\":{\"auctionId\":\"b1000000001\",\"title\":"
           "\"品\","
           "\"endTime\":\""
        + end.toString(Qt::ISODate).toUtf8() + "\",\"leftTime\":" + QByteArray::number(left, 'f', 3)
        + ",\"status\":\"open\"}}}}}}}</script></body></html>";
}

bool waitUntil(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

QString medianAndWorst(QList<qint64> v)
{
    if (v.isEmpty())
        return u"-"_s;
    std::sort(v.begin(), v.end());
    const qint64 worst
        = std::max(std::abs(v.first()), std::abs(v.last())) == std::abs(v.first()) ? v.first() : v.last();
    return QString::number(v.at(v.size() / 2)) + u" / "_s + QString::number(worst);
}

} // namespace

int main(int argc, char **argv)
{
    // The alert window opens as in the program, unseen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = std::clamp(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5, 1, 10);

    HttpTestServer server;
    if (!server.listen())
        return 1;
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
    const QString url = u"http://auctions.yahoo.co.jp/jp/auction/b1000000001"_s;
    QDateTime servedEnd;
    // Each request gets the seconds left at the moment it is answered.
    QObject::connect(&server, &HttpTestServer::requested, &app,
        [&] { server.setPage(url, itemPage(servedEnd), "text/html; charset=utf-8"); });

    // The program as main() wires it, on this machine's clocks; only the
    // desktop around it is stood in for.
    TempWorkDir dir;
    JapanClock machine;
    TimedSound sound;
    MessageRecorder messages;
    ScriptedFileDialog files;
    FakeBrowserHost browser;
    NotificationRecorder notifier;
    InhibitorRecorder inhibitor;
    Program program({ machine, &AuctionTimers::bootClockMs, &SleepGuard::awakeClockMs, messages, sound, files,
                        browser, notifier, inhibitor, [] { return std::make_unique<NetworkPageFetcher>(); } },
        dir.path());
    program.restore();
    // What the browser window's link does with a page and a timer entry.
    NetworkPageFetcher pageFetcher;
    PageWatcher watcher(program.clock(), pageFetcher);
    Registration registration(program.services());
    program.store().setValue(Setting::kSoundFile, u"x.wav"_s);
    program.store().setValue(Setting::kLeadSeconds, QString::number(kLead));
    const AuctionTimers &timers = program.timers();

    QList<qint64> alertErrors;
    QList<qint64> extensionDelays;
    for (int n = 1; n <= runs; ++n) {
        const QDateTime now = serviceNow();
        servedEnd = now.addMSecs(-now.time().msec()).addSecs(kLead + 6);
        watcher.documentComplete(true, url);
        if (!waitUntil([&] { return watcher.reading() && !watcher.reading()->end.isEmpty(); }, 5000))
            return 2;
        registration.registerSlot(n, u"品 - Larkvane"_s, url, &*watcher.reading(), nullptr);
        const int alerts = sound.plays.size();
        // The alert is due at the lead before the service's end, which this
        // machine's clock reads 30 s earlier.
        const qint64 dueMs = servedEnd.toMSecsSinceEpoch() - kLead * 1000 - kAheadMs;
        waitUntil([&] { return sound.plays.size() > alerts; }, 20000);
        if (sound.plays.size() > alerts)
            alertErrors << sound.plays.at(alerts) - dueMs;

        // A bid six seconds before the end moves it a minute on.
        waitUntil([&] { return serviceNow().msecsTo(servedEnd) <= 6000; }, 20000);
        const QString oldEnd = timers.timer(n).endText();
        servedEnd = servedEnd.addSecs(60);
        const qint64 movedAt = QDateTime::currentMSecsSinceEpoch();
        if (waitUntil([&] { return timers.timer(n).endText() != oldEnd; }, 20000))
            extensionDelays << QDateTime::currentMSecsSinceEpoch() - movedAt;
        program.timers().clear(n);
        std::fprintf(stderr, "run %d: alert %+lld ms, extension followed in %lld ms\n", n,
            alertErrors.isEmpty() ? 0LL : alertErrors.last(),
            extensionDelays.isEmpty() ? 0LL : extensionDelays.last());
    }
    std::printf(
        "| alert with the service's clock 30 s ahead, after its lead before the service's end: median / "
        "worst of %d (ms) | %s |  |  |\n",
        runs, qPrintable(medianAndWorst(alertErrors)));
    std::printf(
        "| extension served 6 s before the end, until the slot's end moves: median / worst of %d (ms) | %s "
        "|  |  |\n",
        runs, qPrintable(medianAndWorst(extensionDelays)));
    return 0;
}
