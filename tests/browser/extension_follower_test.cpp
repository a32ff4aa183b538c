#include "extension_follower.h"

#include "fake_page_fetcher.h"
#include "profile_file.h"
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
    ExtensionFollower follower { t.store, t.persistence, t.clock, fetcher, t.statusLine };
    QSignalSpy ended { &follower, &ExtensionFollower::slotEndedEarly };
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
        Q_EMIT t.store.tick(1);
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
};

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
    // Every minute from the first second inside the last ten, and at the
    // alert's second (180 left), from which the minutes count anew.
    const QList<int> expected { 599, 539, 479, 419, 359, 299, 239, 180, 120, 60 };
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
