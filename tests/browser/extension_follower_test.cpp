#include "extension_follower.h"

#include "fake_page_fetcher.h"
#include "profile_file.h"
#include "service_clock.h"
#include "test_pages.h"
#include "test_services.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kUrl = u"https://auctions.yahoo.co.jp/jp/auction/m1238496717"_s;

QByteArray itemPage(
    const QString &end, const QByteArray &status = "open", const QByteArray &id = "m1238496717")
{
    return "<html><body><script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
           "{\"initialState\":{\"item\":{\"detail\":{\"item\":{\"auctionId\":\""
        + id + "\",\"title\":\"品\",\"endTime\":\"" + end.toUtf8() + "\",\"status\":\"" + status
        + "\"}}}}}}}</script></body></html>";
}

// Slot 1 armed ten minutes before its end at 2026-08-02 23:03:33, lead 180.
struct Fixture
{
    TestServices t;
    FakePageFetcher fetcher;
    qint64 steadyMs = 0;
    ExtensionFollower follower { t.store, t.persistence, t.serviceClock, fetcher, t.statusLine,
        [this] { return steadyMs; } };
    QSignalSpy ended { &follower, &ExtensionFollower::slotEnded };
    QSignalSpy notified { &follower, &ExtensionFollower::notification };

    Fixture(const QString &url = kUrl)
    {
        t.clock.set(QDate(2026, 8, 2), QTime(22, 53, 33));
        t.store.setValue(u"infotime"_s, u"180"_s);
        t.store.setSlotValue(u"TimerText"_s, 1, u"品"_s);
        t.store.setSlotValue(u"URL"_s, 1, url);
        t.store.setSlotValue(u"EndTime"_s, 1, u"26/08/02 23:03"_s);
        t.store.setSlotValue(u"st"_s, 1, u"0"_s);
        t.store.setSlotValue(u"ed"_s, 1, u"600"_s);
        t.store.arm(1);
    }

    // One second as the countdown makes it: the count first, then the tick.
    void second()
    {
        t.store.setSlotValue(u"st"_s, 1, QString::number(t.store.slotValue(u"st"_s, 1).toInt() + 1));
        t.clock.advance(1);
        steadyMs += 1000;
        Q_EMIT t.store.tick(1);
    }
    // A second at 0: the countdown holds the count while the page decides.
    void waitSecond()
    {
        t.clock.advance(1);
        steadyMs += 1000;
        Q_EMIT t.store.tick(1);
    }
    // Counts to 0, every read answered with the end unchanged.
    void runOut()
    {
        while (left() > 0) {
            const int before = fetcher.requests.size();
            second();
            if (fetcher.requests.size() > before && left() > 0)
                fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s)));
        }
    }
    int left() const { return t.store.slotValue(u"ed"_s, 1).toInt() - t.store.slotValue(u"st"_s, 1).toInt(); }
};

} // namespace

class ExtensionFollowerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsAtMostOncePerMinute();
    void laterEndMovesTheSlot();
    void unchangedOrUselessAnswers_data();
    void unchangedOrUselessAnswers();
    void closedPageEndsTheSlot();
    void olderPagesFollowedToo();
    void onlyWebAddresses();
    void disarmCancelsTheRead();
    void waitsAtTheEndForThePage_data();
    void waitsAtTheEndForThePage();
    void countsOnTheServiceClock_data();
    void countsOnTheServiceClock();
};

void ExtensionFollowerTest::waitsAtTheEndForThePage_data()
{
    QTest::addColumn<FetchResult>("answer");
    QTest::addColumn<int>("endsAfter"); // seconds at 0; -1: counts on
    QTest::addColumn<int>("left");

    QTest::newRow("closed") << FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s, "closed"), 404)
                            << 0 << 0;
    QTest::newRow("same end, passed")
        << FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s)) << 0 << 0;
    QTest::newRow("a minute later: counts on")
        << FakePageFetcher::page(itemPage(u"2026-08-02T23:04:33+09:00"_s)) << -1 << 60;
    QTest::newRow("no answer: ends after 30 s") << FetchResult() << 30 << 0;
    QTest::newRow("maintenance page: ends after 30 s")
        << FakePageFetcher::page("<html>メンテナンス中</html>", 503) << 30 << 0;
}

void ExtensionFollowerTest::waitsAtTheEndForThePage()
{
    QFETCH(FetchResult, answer);
    QFETCH(int, endsAfter);
    QFETCH(int, left);
    Fixture f;
    f.runOut();
    QVERIFY(f.follower.holdsAtEnd(1));
    // Read at the end itself, then every 5 s while no answer decides.
    QList<int> readsAt;
    for (int s = 0; s <= 40 && f.ended.isEmpty() && f.left() <= 0; ++s) {
        if (f.fetcher.requests.last().done) {
            readsAt << s;
            f.fetcher.answer(answer);
        }
        if (f.ended.isEmpty() && f.left() <= 0)
            f.waitSecond();
    }
    if (endsAfter < 0) {
        QVERIFY(f.ended.isEmpty());
        QCOMPARE(f.left(), left);
        QCOMPARE(f.t.store.slotValue(u"EndTime"_s, 1), u"26/08/02 23:04"_s);
        QCOMPARE(f.notified.size(), 1);
        return;
    }
    QCOMPARE(f.ended.size(), 1);
    QCOMPARE(f.left(), left);
    QCOMPARE(readsAt.last() <= endsAfter, true);
    if (endsAfter == 30)
        QCOMPARE(readsAt, (QList<int> { 0, 5, 10, 15, 20, 25 }));
}

void ExtensionFollowerTest::countsOnTheServiceClock_data()
{
    // Each read: "round trip ms:service clock ahead by ms:source", the
    // source "p" the page's own seconds left, "d" a Date header.
    QTest::addColumn<QString>("reads");
    QTest::addColumn<int>("offsetMs");
    QTest::addColumn<QStringList>("notices");

    QTest::newRow("in step") << u"40:300:p"_s << 300 << QStringList();
    QTest::newRow("shortest round trip wins") << u"900:30000:p 60:30450:p 400:29000:p"_s << 30450
                                              << QStringList { ServiceClock::noticeText(30000) };
    QTest::newRow("a page beats a Date header")
        << u"10:-5000:d 500:-31000:p"_s << -31000
        << QStringList { ServiceClock::noticeText(-5000), ServiceClock::noticeText(-31000) };
    QTest::newRow("Date header alone")
        << u"80:-31000:d"_s << -31000
        << QStringList {
               u"パソコンの時計がオークションの時計と 31 秒ずれています。タイマーはオークションの時計で数えます。"_s
           };
}

void ExtensionFollowerTest::countsOnTheServiceClock()
{
    QFETCH(QString, reads);
    QFETCH(int, offsetMs);
    QFETCH(QStringList, notices);
    FixedClock machine(japanDateTime(QDate(2026, 8, 2), QTime(22, 53, 33)));
    ServiceClock clock(machine);
    QSignalSpy noticed(&clock, &ServiceClock::offsetNoticed);
    for (const QString &read : reads.split(u' ')) {
        const QStringList p = read.split(u':');
        // The reply was made at the middle of its round trip.
        const QDateTime made = machine.now().addMSecs(-p[0].toInt() / 2 + p[1].toInt());
        clock.learn(u"auctions.yahoo.co.jp"_s, made, p[0].toInt(),
            p[2] == u"p"_s ? ServiceClock::Source::PageData : ServiceClock::Source::DateHeader);
    }
    QCOMPARE(*clock.offsetMs(u"auctions.yahoo.co.jp"_s), qint64(offsetMs));
    QCOMPARE(machine.now().msecsTo(clock.now(u"auctions.yahoo.co.jp"_s)), qint64(offsetMs));
    QVERIFY(!clock.offsetMs(u"other.example"_s));
    QStringList said;
    for (const QList<QVariant> &args : std::as_const(noticed))
        said << args.at(0).toString();
    QCOMPARE(said, notices);

    // A registration 20 minutes before the end counts on that clock.
    Fixture f;
    f.t.serviceClock.learn(
        u"auctions.yahoo.co.jp"_s, f.t.clock.now().addMSecs(offsetMs), 0, ServiceClock::Source::PageData);
    f.second();
    QCOMPARE(f.fetcher.requests.size(), 1);
    f.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s)));
    const int trueLeft = 599 - int(std::floor(offsetMs / 1000.0));
    QCOMPARE(f.left(), std::abs(trueLeft - 599) >= ExtensionFollower::kCorrectionSeconds ? trueLeft : 599);
}

void ExtensionFollowerTest::readsAtMostOncePerMinute()
{
    Fixture f;
    QList<int> readAt;
    for (int s = 0; s < 599; ++s) {
        const int before = f.fetcher.requests.size();
        f.second();
        if (f.fetcher.requests.size() > before) {
            readAt << f.left();
            f.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s)));
        }
    }
    // Every minute from the first second inside the last ten, at the
    // alert's second (180 left), from which the minutes count anew, and
    // just before the end.
    const QList<int> expected { 599, 539, 479, 419, 359, 299, 239, 180, 120, 60, 15, 5 };
    QCOMPARE(readAt, expected);
    QCOMPARE(f.notified.size(), 0);
    QCOMPARE(f.t.store.slotValue(u"ed"_s, 1), u"600"_s);
}

void ExtensionFollowerTest::laterEndMovesTheSlot()
{
    Fixture f;
    f.t.store.setValue(u"infotime"_s, u"30"_s);
    while (f.left() > 100)
        f.second();
    const int requests = f.fetcher.requests.size();
    // A read still in flight is not doubled.
    for (int i = 0; i < 70; ++i)
        f.second();
    QCOMPARE(f.fetcher.requests.size(), requests);
    QCOMPARE(f.left(), 30);

    // A bid in the last minutes: the end moves five minutes on.
    f.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:08:33+09:00"_s)));
    QCOMPARE(f.left(), 330);
    QCOMPARE(f.t.store.slotValue(u"ed"_s, 1), u"900"_s);
    QCOMPARE(f.t.store.slotValue(u"st"_s, 1), u"570"_s);
    QCOMPARE(f.t.store.slotValue(u"EndTime"_s, 1), u"26/08/02 23:08"_s);
    const QString text = u"終了時間が延長されました（26/08/02 23:08）"_s;
    QCOMPARE(f.t.statusLine.text(), text);
    QCOMPARE(f.notified.size(), 1);
    QCOMPARE(f.notified.at(0).at(0).toString(), text);
    QCOMPARE(ProfileFile(f.t.persistence.iniPath()).read(u"Auction_File"_s, u"end1"_s), u"26/08/02 23:08"_s);
    QVERIFY(f.t.store.isArmed(1));

    // Its lead comes round again, and the page is read again there.
    int readsAtLead = 0;
    while (f.left() > 30) {
        const int before = f.fetcher.requests.size();
        f.second();
        if (f.fetcher.requests.size() > before) {
            readsAtLead += f.left() == 30;
            f.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T23:08:33+09:00"_s)));
        }
    }
    QCOMPARE(readsAtLead, 1);
    QCOMPARE(f.notified.size(), 1);
}

void ExtensionFollowerTest::unchangedOrUselessAnswers_data()
{
    QTest::addColumn<FetchResult>("answer");

    QTest::newRow("failed fetch") << FetchResult();
    QTest::newRow("same end") << FakePageFetcher::page(itemPage(u"2026-08-02T23:03:33+09:00"_s));
    QTest::newRow("earlier end") << FakePageFetcher::page(itemPage(u"2026-08-02T22:58:00+09:00"_s));
    QTest::newRow("another auction's later end")
        << FakePageFetcher::page(itemPage(u"2026-08-03T23:03:33+09:00"_s, "open", "z9"));
    QTest::newRow("unrecognized page") << FakePageFetcher::page("<html>メンテナンス中</html>", 503);
}

void ExtensionFollowerTest::unchangedOrUselessAnswers()
{
    QFETCH(FetchResult, answer);
    Fixture f;
    f.second();
    QCOMPARE(f.fetcher.requests.size(), 1);
    f.fetcher.answer(answer);
    QCOMPARE(f.t.store.slotValue(u"ed"_s, 1), u"600"_s);
    QCOMPARE(f.t.store.slotValue(u"EndTime"_s, 1), u"26/08/02 23:03"_s);
    QCOMPARE(f.ended.size(), 0);
    QCOMPARE(f.notified.size(), 0);
    QVERIFY(f.t.store.isArmed(1));
}

void ExtensionFollowerTest::closedPageEndsTheSlot()
{
    Fixture f;
    for (int i = 0; i < 200; ++i)
        f.second();
    f.fetcher.answer(FakePageFetcher::page(itemPage(u"2026-08-02T22:55:00+09:00"_s, "closed"), 404));
    QCOMPARE(f.ended.size(), 1);
    QCOMPARE(f.ended.at(0).at(0).toInt(), 1);
    // As at its end: nothing left to count, and an end in the past, so that
    // a restart does not arm it again.
    QCOMPARE(f.left(), 0);
    QCOMPARE(f.t.store.slotValue(u"EndTime"_s, 1), u"26/08/02 22:55"_s);
    QCOMPARE(ProfileFile(f.t.persistence.iniPath()).read(u"Auction_File"_s, u"end1"_s), u"26/08/02 22:55"_s);
}

void ExtensionFollowerTest::olderPagesFollowedToo()
{
    const QString M = u"\uFF77"_s;
    const QString D = u"\uFF86"_s;
    const QString H = u"\uFF7B"_s;
    Fixture f(u"http://page.auctions.yahoo.co.jp/jp/auction/b1"_s);
    f.second();
    const QByteArray older
        = TestPages::iconvEncode(TestPages::yahooText(u"7"_s + M + u"26"_s + D + u"12"_s + H + u"03"_s,
                                     u"8"_s + M + u"2"_s + D + u"23"_s + H + u"13"_s),
            "CP932");
    f.fetcher.answer(FakePageFetcher::page(older));
    QCOMPARE(f.t.store.slotValue(u"EndTime"_s, 1), u"26/08/02 23:13"_s);
    // The page gives minutes: the count runs to 23:13:00.
    QCOMPARE(f.left(), 19 * 60 + 26);
}

void ExtensionFollowerTest::onlyWebAddresses()
{
    Fixture f(u"file:///home/u/item.html"_s);
    for (int i = 0; i < 100; ++i)
        f.second();
    QVERIFY(f.fetcher.requests.isEmpty());
}

void ExtensionFollowerTest::disarmCancelsTheRead()
{
    Fixture f;
    f.second();
    f.t.store.disarm(1);
    QVERIFY(f.fetcher.requests.last().cancelled);
    f.t.store.arm(1);
    f.second();
    QCOMPARE(f.fetcher.requests.size(), 2);
}

int runExtensionFollowerTests(int argc, char **argv)
{
    ExtensionFollowerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "extension_follower_test.moc"
