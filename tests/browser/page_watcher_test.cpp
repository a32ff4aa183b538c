#include "page_watcher.h"

#include "doubles.h"
#include "fake_page_fetcher.h"
#include "state_store.h"
#include "test_pages.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString M = u"\uFF77"_s;
const QString D = u"\uFF86"_s;
const QString H = u"\uFF7B"_s;

// A Yahoo! page of the older kind: the code page 932 bytes of its reading,
// which read back as the same text.
QByteArray olderYahooPage()
{
    return TestPages::iconvEncode(TestPages::yahooText(u"12"_s + M + u"20"_s + D + u"21"_s + H + u"05"_s,
                                      u"1"_s + M + u"3"_s + D + u"09"_s + H + u"30"_s),
        "CP932");
}

QByteArray todaysPage(const QByteArray &id, const QByteArray &status = "open")
{
    return "<html><head><title>Yahoo!オークション - 品物...</title></head><body>"
           "<script id=\"__NEXT_DATA__\" "
           "type=\"application/json\">{\"props\":{\"pageProps\":{\"initialState\":"
           "{\"item\":{\"detail\":{\"item\":{\"auctionId\":\""
        + id
        + "\",\"title\":\"品物の全部の名前\",\"startTime\":\"2026-07-26T12:03:33+09:00\","
          "\"endTime\":\"2026-08-02T23:03:33+09:00\",\"status\":\""
        + status + "\"}}}}}}}</script></body></html>";
}

struct Fixture
{
    StateStore store;
    FixedClock clock { japanDateTime(QDate(2004, 12, 28), QTime(10, 0)) };
    FakePageFetcher fetcher;
    PageWatcher watcher { store, clock, fetcher };
    QSignalSpy menu { &watcher, &PageWatcher::timerMenuEnabled };

    bool lastMenu() const { return menu.isEmpty() ? false : menu.last().at(0).toBool(); }
    void setScratch(const QString &start, const QString &end)
    {
        store.setValue(u"tmpsttime"_s, start);
        store.setValue(u"tmpedtime"_s, end);
    }
};

} // namespace

class PageWatcherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void olderYahooPageOffersItsTimes();
    void todaysPageKeepsSecondsAndTitle();
    void closedPageOffersNothing();
    void newerPageCancelsOlderFetch();
    void failedFetchLeavesMenuDisabled();
    void notFetched_data();
    void notFetched();
    void frameEventOnlyUpdatesMenu();
    void brokenBiddersReadingKeepsMenu();
    void userAgentGoesToFetcher();
};

void PageWatcherTest::olderYahooPageOffersItsTimes()
{
    Fixture f;
    f.watcher.documentComplete(true, u"  http://page.auctions.yahoo.co.jp/jp/auction/b1 "_s);
    QCOMPARE(f.store.value(u"txtURL"_s), u"http://page.auctions.yahoo.co.jp/jp/auction/b1"_s);
    QCOMPARE(f.fetcher.requests.size(), 1);
    QCOMPARE(f.fetcher.requests[0].url, QUrl(u"http://page.auctions.yahoo.co.jp/jp/auction/b1"_s));
    QVERIFY(!f.lastMenu());

    const QByteArray body = olderYahooPage();
    QVERIFY(!body.isEmpty());
    f.fetcher.answerLast(FakePageFetcher::page(body));
    QCOMPARE(f.store.value(u"Text1"_s), FakePageFetcher::page(body).text());
    QCOMPARE(f.store.value(u"tmpsttime"_s), u"04/12/20 21:05"_s);
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"05/01/03 09:30"_s);
    QCOMPARE(f.store.value(u"tmpedsec"_s), QString());
    QVERIFY(f.lastMenu());
}

void PageWatcherTest::todaysPageKeepsSecondsAndTitle()
{
    Fixture f;
    f.clock.set(QDate(2026, 8, 1), QTime(9, 0));
    // Served over https today, and as 404 once closed: both are read.
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/m1238496717"_s);
    f.fetcher.answerLast(FakePageFetcher::page(todaysPage("m1238496717"), 404));
    QCOMPARE(f.store.value(u"tmpsttime"_s), u"26/07/26 12:03"_s);
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"26/08/02 23:03"_s);
    QCOMPARE(f.store.value(u"tmpedsec"_s), u"1785679413"_s);
    QCOMPARE(f.store.value(u"tmptitle"_s), u"品物の全部の名前"_s);
    QVERIFY(f.lastMenu());
}

void PageWatcherTest::closedPageOffersNothing()
{
    Fixture f;
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/n1"_s);
    f.fetcher.answerLast(FakePageFetcher::page(todaysPage("n1", "closed"), 404));
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    QCOMPARE(f.store.value(u"tmptitle"_s), QString());
    QVERIFY(!f.lastMenu());
}

void PageWatcherTest::newerPageCancelsOlderFetch()
{
    Fixture f;
    f.clock.set(QDate(2026, 8, 1), QTime(9, 0));
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/a1"_s);
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/b2"_s);
    QCOMPARE(f.fetcher.requests.size(), 2);
    QVERIFY(f.fetcher.requests[0].cancelled);
    QVERIFY(!f.fetcher.requests[1].cancelled);

    f.fetcher.answer(f.fetcher.requests[0].id, FakePageFetcher::page(todaysPage("a1")));
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    f.fetcher.answer(f.fetcher.requests[1].id, FakePageFetcher::page(todaysPage("b2")));
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"26/08/02 23:03"_s);
    QCOMPARE(f.store.value(u"txtURL"_s), u"https://auctions.yahoo.co.jp/jp/auction/b2"_s);
}

void PageWatcherTest::failedFetchLeavesMenuDisabled()
{
    Fixture f;
    f.setScratch(u"04/12/20 21:05"_s, u"05/01/03 09:30"_s);
    f.store.setValue(u"Text1"_s, u"older source"_s);
    f.watcher.documentComplete(true, u"http://page.auctions.yahoo.co.jp/jp/auction/c3"_s);
    f.fetcher.answerLast(FakePageFetcher::failure());
    QCOMPARE(f.store.value(u"tmpsttime"_s), QString());
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    QCOMPARE(f.store.value(u"Text1"_s), u"older source"_s);
    QVERIFY(!f.lastMenu());
}

void PageWatcherTest::notFetched_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("local file") << u"file:///home/u/html/serch.html"_s;
    QTest::newRow("plain path") << u"/home/u/html/serch.html"_s;
    QTest::newRow("upper-case scheme") << u"HTTP://auctions.yahoo.co.jp/"_s;
    QTest::newRow("about page") << u"about:blank"_s;
}

void PageWatcherTest::notFetched()
{
    QFETCH(QString, url);
    Fixture f;
    // The previous item's times must not reach a registration on this page.
    f.setScratch(u"04/12/20 21:05"_s, u"05/01/03 09:30"_s);
    f.store.setValue(u"tmptitle"_s, u"前の品"_s);
    f.watcher.documentComplete(true, url);
    QCOMPARE(f.store.value(u"txtURL"_s), url);
    QVERIFY(f.fetcher.requests.isEmpty());
    QCOMPARE(f.store.value(u"tmpsttime"_s), QString());
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    QCOMPARE(f.store.value(u"tmptitle"_s), QString());
    QCOMPARE(f.menu.size(), 1);
    QVERIFY(!f.lastMenu());
}

void PageWatcherTest::frameEventOnlyUpdatesMenu()
{
    Fixture f;
    f.store.setValue(u"txtURL"_s, u"http://top/"_s);
    f.setScratch(QString(), u"05/01/03 09:30"_s);
    f.watcher.documentComplete(false, u"http://frame/"_s);
    QCOMPARE(f.store.value(u"txtURL"_s), u"http://top/"_s);
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"05/01/03 09:30"_s);
    QVERIFY(f.fetcher.requests.isEmpty());
    QVERIFY(f.lastMenu());
}

void PageWatcherTest::brokenBiddersReadingKeepsMenu()
{
    Fixture f;
    f.watcher.documentComplete(true, u"http://www.bidders.co.jp/item/1"_s);
    const int before = f.menu.size();
    f.fetcher.answerLast(FakePageFetcher::page(
        TestPages::iconvEncode(TestPages::biddersText(u">12/20 2105</td>"_s), "CP932")));
    QCOMPARE(f.store.value(u"tmpsttime"_s), u"N/A"_s);
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    QCOMPARE(f.menu.size(), before);
    QVERIFY(!f.lastMenu());
}

void PageWatcherTest::userAgentGoesToFetcher()
{
    Fixture f;
    f.watcher.setUserAgent(u"Mozilla/5.0 Test"_s);
    QCOMPARE(f.fetcher.userAgent, u"Mozilla/5.0 Test"_s);
}

int runPageWatcherTests(int argc, char **argv)
{
    PageWatcherTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "page_watcher_test.moc"
