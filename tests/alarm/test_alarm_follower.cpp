// Following a timer to the end its auction really has: its page read on the
// way to the end, through the timers' own step, on driven clocks.

#include "auction_timers.h"
#include "profile_file.h"
#include "service_clock.h"
#include "test_pages.h"
#include "test_services.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kUrl = u"https://auctions.yahoo.co.jp/jp/auction/m1238496717"_s;
const QString kHost = u"auctions.yahoo.co.jp"_s;

QByteArray itemPage(const QString &end, const QByteArray &status = "open",
    const QByteArray &id = "m1238496717", const QByteArray &more = {})
{
    return "<html><body><script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
           "{\"initialState\":{\"item\":{\"detail\":{\"item\":{\"auctionId\":\""
        + id + "\",\"title\":\"品\",\"endTime\":\"" + end.toUtf8() + "\",\"status\":\"" + status + "\"" + more
        + "}}}}}}}</script></body></html>";
}
const FetchResult kSameEnd = FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s));

// Slot 1 armed `left` seconds before its end at 2026-08-02 23:03:33, lead
// 180; the service's clock known unless `clockKnown` is false.
struct Fixture
{
    TestServices t;
    QSignalSpy ended { &t.timers, &AuctionTimers::ended };
    QSignalSpy notified { &t.timers, &AuctionTimers::notice };

    explicit Fixture(const QString &url = kUrl, int left = 600, bool clockKnown = false)
    {
        t.store.setValue(u"infotime"_s, u"180"_s);
        t.store.setValue(u"wavfile"_s, u"w.wav"_s);
        t.clock.set(japanDateTime(QDate(2026, 8, 2), QTime(23, 3, 33)).addSecs(-left));
        if (clockKnown)
            t.serviceClock.learn(kHost, { t.clock.now(), {}, 0 });
        t.timers.assign(
            1, { u"品"_s, url, u"26/08/01 10:00"_s }, japanDateTime(QDate(2026, 8, 2), QTime(23, 3, 33)));
    }
    int left() const { return int(t.timers.timer(1).secondsLeft()); }
    int requests() const { return int(t.fetcher.requests.size()); }
    // Seconds on, until slot 1 is `until` from its end, every read answered
    // with `answer`; the counts each read began at.
    QList<int> runTo(int until, const FetchResult &answer = kSameEnd)
    {
        QList<int> readAt;
        while (left() > until && t.timers.timer(1).isArmed()) {
            const int before = requests();
            t.pass();
            if (requests() > before) {
                readAt << left();
                t.fetcher.answer(answer);
            }
        }
        return readAt;
    }
};

} // namespace

class TestAlarmFollower : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsOnTheWayToTheEnd_data();
    void readsOnTheWayToTheEnd();
    void laterEndMovesTheSlot();
    void unchangedOrUselessAnswers_data();
    void unchangedOrUselessAnswers();
    void closedPageEndsTheSlot();
    void olderPagesFollowedToo();
    void onlyWebAddresses();
    void clearCancelsTheRead();
    void waitsAtTheEndForThePage_data();
    void waitsAtTheEndForThePage();
    void countsOnTheServiceClock_data();
    void countsOnTheServiceClock();
    void aCountSetBelowItsLeadAlertsAtOnce();
    void aStaleCopyMovesNoCount();
    void bidsAndTheResult_data();
    void bidsAndTheResult();
    void remindersOnTheirSeconds_data();
    void remindersOnTheirSeconds();
    void readOnAThreadOfItsOwn();
};

void TestAlarmFollower::readsOnTheWayToTheEnd_data()
{
    QTest::addColumn<int>("armedAt");
    QTest::addColumn<QString>("lead");
    QTest::addColumn<bool>("clockKnown");
    QTest::addColumn<QList<int>>("reads");

    const QList<int> minutes { 600, 540, 480, 420, 360, 300, 240 };
    QTest::newRow("eleven minutes out, the alert on a minute")
        << 660 << u"180"_s << true << minutes + QList<int> { 180, 120, 60, 15, 5, 0 };
    QTest::newRow("the alert between minutes")
        << 660 << u"150"_s << true << minutes + QList<int> { 180, 150, 120, 60, 15, 5, 0 };
    QTest::newRow("the service's clock not known: its first second too")
        << 660 << u"180"_s << false << QList<int> { 659 } + minutes + QList<int> { 180, 120, 60, 15, 5, 0 };
    QTest::newRow("registered inside the last minutes: from the next minute on")
        << 250 << u"30"_s << true << QList<int> { 240, 180, 120, 60, 30, 15, 5, 0 };
}

// Every read falls on its second, whether a window shows the count (a step
// a second) or only the tray runs (the timer asleep between its moments).
void TestAlarmFollower::readsOnTheWayToTheEnd()
{
    QFETCH(int, armedAt);
    QFETCH(QString, lead);
    QFETCH(bool, clockKnown);
    QFETCH(QList<int>, reads);
    for (const bool quiet : { false, true }) {
        Fixture f(kUrl, armedAt, clockKnown);
        f.t.store.setValue(u"infotime"_s, lead);
        if (quiet)
            f.t.timers.setWatched([] { return false; });
        QList<int> readAt;
        while (f.left() > 0) {
            const int before = f.requests();
            if (quiet) {
                const qint64 next = f.t.timers.nextWakeMs();
                f.t.clock.advance(int((next - f.t.steadyMs) / 1000));
                f.t.steadyMs = next;
                f.t.timers.runDue();
            } else {
                f.t.pass();
            }
            if (f.requests() > before) {
                readAt << f.left();
                f.t.fetcher.answer(kSameEnd);
            }
        }
        QCOMPARE(readAt, reads); // the last at the end itself
        QCOMPARE(f.t.sound.played.size(), 1);
        QCOMPARE(f.notified.size(), 0);
    }
}

void TestAlarmFollower::laterEndMovesTheSlot()
{
    Fixture f;
    f.t.store.setValue(u"infotime"_s, u"30"_s);
    // The first read (the service's clock is not known) stays unanswered:
    // it is not doubled.
    f.t.pass();
    QCOMPARE(f.requests(), 1);
    f.t.pass(569);
    QCOMPARE(f.requests(), 1);
    QCOMPARE(f.left(), 30);
    QCOMPARE(f.t.sound.played.size(), 1);

    // A bid in the last minutes: the end moves five minutes on.
    f.t.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:08:33+09:00"_s)));
    QCOMPARE(f.left(), 330);
    QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:08"_s);
    QCOMPARE(f.t.timers.timer(1).state(), AuctionTimer::State::Counting);
    const QString text = u"終了時間が延長されました（26/08/02 23:08）"_s;
    QCOMPARE(f.t.statusLine.text(), text);
    QCOMPARE(f.notified.size(), 1);
    QCOMPARE(f.notified.at(0).at(0).toString(), text);
    QCOMPARE(ProfileFile(f.t.persistence.iniPath()).read(u"Auction_File"_s, u"end1"_s), u"26/08/02 23:08"_s);

    // The minutes are read again, its lead comes round again and is read.
    QCOMPARE(f.runTo(30, FakePageFetcher::page(itemPage(u"2026-08-02T23:08:33+09:00"_s))),
        (QList<int> { 300, 240, 180, 120, 60, 30 }));
    QCOMPARE(f.t.sound.played.size(), 2);
    QCOMPARE(f.notified.size(), 1);
}

void TestAlarmFollower::unchangedOrUselessAnswers_data()
{
    QTest::addColumn<FetchResult>("answer");

    QTest::newRow("failed fetch") << FetchResult();
    QTest::newRow("same end") << kSameEnd;
    QTest::newRow("earlier end") << FakePageFetcher::page(itemPage(u"2026-08-02T22:58:00+09:00"_s));
    QTest::newRow("another auction's later end")
        << FakePageFetcher::page(itemPage(u"2026-08-03T23:03:33+09:00"_s, "open", "z9"));
    QTest::newRow("unrecognized page") << FakePageFetcher::page("<html>メンテナンス中</html>", 503);
}

void TestAlarmFollower::unchangedOrUselessAnswers()
{
    QFETCH(FetchResult, answer);
    Fixture f;
    f.t.pass();
    QCOMPARE(f.requests(), 1);
    f.t.fetcher.answer(answer);
    QCOMPARE(f.left(), 599);
    QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:03"_s);
    QCOMPARE(f.ended.size(), 0);
    QCOMPARE(f.notified.size(), 0);
    QVERIFY(f.t.timers.timer(1).isArmed());
}

void TestAlarmFollower::closedPageEndsTheSlot()
{
    Fixture f;
    f.t.pass(200);
    f.t.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T22:55:00+09:00"_s, "closed"), 404));
    QCOMPARE(f.ended.size(), 1);
    QCOMPARE(f.ended.at(0).at(0).toInt(), 1);
    // As at its end: nothing left, and an end in the past, so that a
    // restart does not arm it again.
    QVERIFY(f.t.timers.timer(1).hasEnded());
    QCOMPARE(f.left(), 0);
    QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 22:55"_s);
    QCOMPARE(ProfileFile(f.t.persistence.iniPath()).read(u"Auction_File"_s, u"end1"_s), u"26/08/02 22:55"_s);
}

void TestAlarmFollower::olderPagesFollowedToo()
{
    const QString M = u"\uFF77"_s;
    const QString D = u"\uFF86"_s;
    const QString H = u"\uFF7B"_s;
    Fixture f(u"http://page.auctions.yahoo.co.jp/jp/auction/b1"_s);
    f.t.pass();
    const QByteArray older
        = TestPages::iconvEncode(TestPages::yahooText(u"7"_s + M + u"26"_s + D + u"12"_s + H + u"03"_s,
                                     u"8"_s + M + u"2"_s + D + u"23"_s + H + u"13"_s),
            "CP932");
    f.t.fetcher.answer(FakePageFetcher::page(older));
    QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:13"_s);
    // The page gives minutes: the count runs to 23:13:00.
    QCOMPARE(f.left(), 19 * 60 + 26);
}

void TestAlarmFollower::onlyWebAddresses()
{
    Fixture f(u"file:///home/u/item.html"_s);
    f.t.pass(700);
    QVERIFY(f.t.fetcher.requests.isEmpty());
    QVERIFY(f.t.timers.timer(1).hasEnded());
}

void TestAlarmFollower::clearCancelsTheRead()
{
    Fixture f;
    f.t.pass();
    f.t.timers.clear(1);
    QVERIFY(f.t.fetcher.requests.last().cancelled);
    f.t.timers.assign(1, { u"品"_s, kUrl, {} }, f.t.clock.now().addSecs(600));
    f.t.pass();
    QCOMPARE(f.requests(), 2);
}

void TestAlarmFollower::waitsAtTheEndForThePage_data()
{
    QTest::addColumn<FetchResult>("answer");
    QTest::addColumn<int>("endsAfter"); // seconds at 0; -1: counts on
    QTest::addColumn<int>("left");

    QTest::newRow("closed") << FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s, "closed"), 404)
                            << 0 << 0;
    QTest::newRow("same end, passed") << kSameEnd << 0 << 0;
    QTest::newRow("a minute later: counts on")
        << FakePageFetcher::page(itemPage(u"2026-08-02T23:04:33+09:00"_s)) << -1 << 60;
    QTest::newRow("no answer: ends after 30 s") << FetchResult() << 30 << 0;
    QTest::newRow("maintenance page: ends after 30 s")
        << FakePageFetcher::page("<html>メンテナンス中</html>", 503) << 30 << 0;
}

void TestAlarmFollower::waitsAtTheEndForThePage()
{
    QFETCH(FetchResult, answer);
    QFETCH(int, endsAfter);
    QFETCH(int, left);
    Fixture f;
    f.runTo(1);
    f.t.pass();
    QCOMPARE(f.t.timers.timer(1).state(), AuctionTimer::State::Waiting);
    // Read at the end itself, then every 5 s while no answer decides.
    QList<int> readsAt;
    for (int s = 0; s <= 40 && f.ended.isEmpty() && f.left() <= 0; ++s) {
        if (f.t.fetcher.requests.last().done) {
            readsAt << s;
            f.t.fetcher.answer(answer);
        }
        if (f.ended.isEmpty() && f.left() <= 0)
            f.t.pass();
    }
    if (endsAfter < 0) {
        QVERIFY(f.ended.isEmpty());
        QCOMPARE(f.left(), left);
        QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:04"_s);
        QCOMPARE(f.notified.size(), 1);
        return;
    }
    QCOMPARE(f.ended.size(), 1);
    QCOMPARE(f.left(), left);
    QVERIFY(readsAt.last() <= endsAfter);
    if (endsAfter == 30)
        QCOMPARE(readsAt, (QList<int> { 0, 5, 10, 15, 20, 25 }));
}

void TestAlarmFollower::countsOnTheServiceClock_data()
{
    // Each reply: "round trip ms:page says ahead by ms:its header says ahead
    // by ms", "-" where it says nothing.
    QTest::addColumn<QString>("reads");
    QTest::addColumn<int>("offsetMs");
    QTest::addColumn<QStringList>("notices");
    const QStringList thirty { ServiceClock::noticeText(30000) };

    QTest::newRow("in step") << u"40:300:0"_s << 300 << QStringList();
    QTest::newRow("shortest round trip wins") << u"900:30000:- 60:30450:- 400:29000:-"_s << 30450 << thirty;
    QTest::newRow("a page beats the header it agrees with")
        << u"10:-:-30000 500:-31000:-"_s << -31000 << QStringList { ServiceClock::noticeText(-30000) };
    QTest::newRow("Date header alone")
        << u"80:-:-31000"_s << -31000
        << QStringList {
               u"パソコンの時計がオークションの時計と 31 秒ずれています。タイマーはオークションの時計で数えます。"_s
           };
    QTest::newRow("one page alone blames no clock") << u"30:-30000:-"_s << -30000 << QStringList();
    QTest::newRow("a stale copy, its reply fresh") << u"100:0:0 20:600000:0"_s << 0 << QStringList();
    QTest::newRow("a stale copy without a header") << u"100:0:0 20:600000:- 30:-:0"_s << 0 << QStringList();
    QTest::newRow("a closed page long past, alone") << u"100:0:0 20:-999000:-"_s << 0 << QStringList();
    QTest::newRow("a witness outweighs a lone page") << u"20:600000:- 100:0:0"_s << 0 << QStringList();
    QTest::newRow("two say something new")
        << u"100:0:0 50:30000:30000 60:30200:30000"_s << 0 << QStringList();
    QTest::newRow("three say it: the clock was set")
        << u"100:0:0 50:30000:30000 60:30200:30000 70:29000:-"_s << 30000 << thirty;
}

void TestAlarmFollower::countsOnTheServiceClock()
{
    QFETCH(QString, reads);
    QFETCH(int, offsetMs);
    QFETCH(QStringList, notices);
    FixedClock machine(japanDateTime(QDate(2026, 8, 2), QTime(22, 53, 33)));
    ServiceClock clock(machine);
    QSignalSpy noticed(&clock, &ServiceClock::offsetNoticed);
    for (const QString &read : reads.split(u' ')) {
        const QStringList p = read.split(u':');
        ServiceClock::Reply reply;
        reply.roundTripMs = p[0].toInt();
        // The reply was made at the middle of its round trip.
        const QDateTime made = machine.now().addMSecs(-reply.roundTripMs / 2);
        if (p[1] != u"-"_s)
            reply.pageTime = made.addMSecs(p[1].toInt());
        if (p[2] != u"-"_s)
            reply.headerTime = made.addMSecs(p[2].toInt());
        clock.learn(kHost, reply);
    }
    QCOMPARE(*clock.offsetMs(kHost), qint64(offsetMs));
    QCOMPARE(machine.now().msecsTo(clock.now(kHost)), qint64(offsetMs));
    QVERIFY(!clock.offsetMs(u"other.example"_s));
    QStringList said;
    for (const QList<QVariant> &args : std::as_const(noticed))
        said << args.at(0).toString();
    QCOMPARE(said, notices);

    // A slot counting on this machine's clock learns the service's before
    // its first read, at 540 s left: the count follows it from there.
    Fixture f;
    f.t.serviceClock.learn(kHost, { f.t.clock.now().addMSecs(offsetMs), {}, 0 });
    f.runTo(541);
    f.t.pass();
    QCOMPARE(f.requests(), 1);
    QCOMPARE(f.left(), 540);
    f.t.fetcher.answer(kSameEnd);
    const int trueLeft = 540 - int(std::floor(offsetMs / 1000.0));
    QCOMPARE(f.left(), std::abs(trueLeft - 540) >= 2 ? trueLeft : 540);
}

void TestAlarmFollower::aStaleCopyMovesNoCount()
{
    Fixture f(kUrl, 600, true);
    f.runTo(541);
    f.t.pass();
    // Made ten minutes ago, served now with a fresh Date.
    FetchResult stale = FakePageFetcher::page(
        itemPage(u"2026-08-02T23:03:33+09:00"_s, "open", "m1238496717", ",\"leftTime\":1140"));
    stale.roundTripMs = 10;
    stale.serverDate = f.t.clock.now();
    f.t.fetcher.answer(stale);
    QCOMPARE(f.left(), 540);
    QVERIFY(std::llabs(*f.t.serviceClock.offsetMs(kHost)) < 1000);
}

void TestAlarmFollower::aCountSetBelowItsLeadAlertsAtOnce()
{
    Fixture f;
    f.t.store.setValue(u"infotime"_s, u"530"_s);
    f.t.serviceClock.learn(kHost, { f.t.clock.now().addSecs(15), {}, 0 });
    f.runTo(541);
    f.t.pass();
    f.t.fetcher.answer(kSameEnd);
    QCOMPARE(f.left(), 525);
    QVERIFY(f.t.sound.played.isEmpty());
    f.t.pass();
    QCOMPARE(f.t.sound.played.size(), 1);
    QCOMPARE(f.t.timers.timer(1).state(), AuctionTimer::State::Alerted);
}

namespace {
FetchResult priced(qint64 price, qint64 bids, const QByteArray &status = "open")
{
    return FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s, status, "m1238496717",
        ",\"price\":" + QByteArray::number(price) + ",\"bids\":" + QByteArray::number(bids)));
}
} // namespace

void TestAlarmFollower::bidsAndTheResult_data()
{
    QTest::addColumn<qint64>("finalBids");
    QTest::addColumn<QString>("result");

    QTest::newRow("sold") << qint64(3) << u"「品」は 15,000円で終了しました（入札 3件）。"_s;
    QTest::newRow("no bids") << qint64(0) << u"「品」は入札なしで終了しました。"_s;
}

// The first word of a price is no news; a bid between two reads is one
// notice, however many reads see it after; the close tells how it ended.
void TestAlarmFollower::bidsAndTheResult()
{
    QFETCH(qint64, finalBids);
    QFETCH(QString, result);
    Fixture f(kUrl, 660, true);
    const qint64 bids = finalBids ? 2 : 0;
    f.runTo(540, priced(12000, bids ? 1 : 0));
    f.runTo(420, priced(bids ? 12500 : 12000, bids));
    QCOMPARE(f.t.timers.timer(1).item().price, bids ? 12500 : 12000);
    QCOMPARE(
        ProfileFile(f.t.persistence.iniPath()).read(u"Auction_File"_s, u"bids1"_s), QString::number(bids));
    QStringList said;
    for (const auto &n : std::as_const(f.notified))
        said << n.at(0).toString();
    QCOMPARE(
        said, bids ? QStringList { u"「品」に入札がありました：12,500円（入札 2件）"_s } : QStringList());

    f.runTo(1, priced(bids ? 12500 : 12000, bids));
    f.notified.clear();
    f.t.pass();
    f.t.fetcher.answer(priced(finalBids ? 15000 : 12000, finalBids, "closed"));
    QVERIFY(f.t.timers.timer(1).hasEnded());
    QCOMPARE(f.notified.size(), 1); // the result tells the last bid too
    QCOMPARE(f.notified.last().at(0).toString(), result);
}

void TestAlarmFollower::remindersOnTheirSeconds_data()
{
    QTest::addColumn<int>("armedAt");
    QTest::addColumn<QList<int>>("remindedAt");

    QTest::newRow("armed before both") << 3700 << QList<int> { 3600, 600 };
    QTest::newRow("armed after the hour") << 3000 << QList<int> { 600 };
}

// Asleep between moments, as in the tray: a reminder wakes on its second,
// with a read of the page just before it, and never for a moment passed
// before the slot was registered.
void TestAlarmFollower::remindersOnTheirSeconds()
{
    QFETCH(int, armedAt);
    QFETCH(QList<int>, remindedAt);
    Fixture f(kUrl, armedAt, true);
    f.t.store.setValue(u"remind"_s, u"60,10,1"_s); // a minute lies under the lead
    f.t.timers.setWatched([] { return false; });
    QList<int> at;
    QStringList said;
    int wakes = 0;
    while (f.left() > 0) {
        const qint64 next = f.t.timers.nextWakeMs();
        f.t.clock.advance(int((next - f.t.steadyMs) / 1000));
        f.t.steadyMs = next;
        const qsizetype before = f.notified.size();
        f.t.timers.runDue();
        ++wakes;
        if (!f.t.fetcher.requests.isEmpty())
            f.t.fetcher.answer(priced(12500, 6));
        if (f.notified.size() > before && f.notified.last().at(0).toString().contains(u"の終了まであと"_s)) {
            at << f.left();
            said << f.notified.last().at(0).toString();
        }
    }
    QCOMPARE(at, remindedAt);
    QCOMPARE(said.last(), u"「品」の終了まであと 10分です（現在 12,500円・入札 6件）。"_s);
    if (remindedAt.size() == 2)
        QCOMPARE(said.first(), u"「品」の終了まであと 1時間です（現在 12,500円・入札 6件）。"_s);
    QCOMPARE(f.t.sound.played.size(), 1);
    // Asleep in between: a wake for each read and each moment, not per second.
    QVERIFY2(wakes < 40, qPrintable(QString::number(wakes)));
}

// As the program reads: the count does not wait for the page, and what the
// page says arrives all the same.
void TestAlarmFollower::readOnAThreadOfItsOwn()
{
    Fixture f;
    f.t.timers.setReadOnWorker(true);
    f.t.pass();
    QByteArray big(8 * 1024 * 1024, ' ');
    f.t.fetcher.answer(FakePageFetcher::page(big + itemPage(u"2026-08-02T23:08:33+09:00"_s) + big));
    QCOMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:03"_s); // not read yet
    QTRY_COMPARE(f.t.timers.timer(1).endText(), u"26/08/02 23:08"_s);
    QCOMPARE(f.left(), 899);
    // A slot cleared while its page is read takes nothing from it.
    for (const int asked = f.requests(); f.requests() == asked;)
        f.t.pass();
    f.t.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:18:33+09:00"_s)));
    f.t.timers.clear(1);
    QTest::qWait(200);
    QVERIFY(f.t.timers.timer(1).isFree());
    QCOMPARE(f.t.timers.timer(1).endText(), QString());
}

QTEST_GUILESS_MAIN(TestAlarmFollower)
#include "test_alarm_follower.moc"
