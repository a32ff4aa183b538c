// Counts real slots to the ends a loopback auction host serves, with the
// host's clock 30 s ahead of this machine's, and reports how far each alert
// falls from its lead before the service's end, and how long an extension
// served six seconds before the end takes to reach the slot.
//
//   bench_end_truth [runs=5]
//
// Prints two rows of the README's table on standard output.

#include "countdown.h"
#include "extension_follower.h"
#include "http_test_server.h"
#include "page_fetcher.h"
#include "page_watcher.h"
#include "registration.h"
#include "service_clock.h"
#include "test_services.h"

#include <QCoreApplication>
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
    QCoreApplication app(argc, argv);
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

    TestServices ts;
    JapanClock machine;
    ServiceClock clock(machine);
    TimedSound sound;
    Services services { ts.store, ts.persistence, clock, ts.messages, sound, ts.windows, ts.statusLine,
        ts.browser, ts.files };
    Countdown countdown(services);
    QObject::connect(&ts.store, &StateStore::tick, &countdown, &Countdown::tick);
    NetworkPageFetcher followFetcher;
    ExtensionFollower follower(
        ts.store, ts.persistence, clock, followFetcher, ts.statusLine, &Countdown::bootClockMs);
    countdown.setEndHold([&follower](int n) { return follower.holdsAtEnd(n); });
    QObject::connect(&follower, &ExtensionFollower::slotEnded, &countdown, &Countdown::endSlot);
    NetworkPageFetcher pageFetcher;
    PageWatcher watcher(ts.store, clock, pageFetcher);
    Registration registration(services);
    ts.store.setValue(u"wavfile"_s, u"x.wav"_s);
    ts.store.setValue(u"infotime"_s, QString::number(kLead));

    QList<qint64> alertErrors;
    QList<qint64> extensionDelays;
    for (int n = 1; n <= runs; ++n) {
        const QDateTime now = serviceNow();
        servedEnd = now.addMSecs(-now.time().msec()).addSecs(kLead + 6);
        watcher.documentComplete(true, url);
        if (!waitUntil([&] { return !ts.store.value(u"tmpedtime"_s).isEmpty(); }, 5000))
            return 2;
        registration.registerSlot(n, u"品 - Larkvane"_s, url, nullptr);
        const int alerts = sound.plays.size();
        // The alert is due at the lead before the service's end, which this
        // machine's clock reads 30 s earlier.
        const qint64 dueMs = servedEnd.toMSecsSinceEpoch() - kLead * 1000 - kAheadMs;
        waitUntil([&] { return sound.plays.size() > alerts; }, 20000);
        if (sound.plays.size() > alerts)
            alertErrors << sound.plays.at(alerts) - dueMs;

        // A bid six seconds before the end moves it a minute on.
        waitUntil([&] { return serviceNow().msecsTo(servedEnd) <= 6000; }, 20000);
        const QString oldEnd = ts.store.slotValue(u"EndTime"_s, n);
        servedEnd = servedEnd.addSecs(60);
        const qint64 movedAt = QDateTime::currentMSecsSinceEpoch();
        if (waitUntil([&] { return ts.store.slotValue(u"EndTime"_s, n) != oldEnd; }, 20000))
            extensionDelays << QDateTime::currentMSecsSinceEpoch() - movedAt;
        ts.store.disarm(n);
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
