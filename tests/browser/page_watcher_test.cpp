#include "page_watcher.h"

#include "doubles.h"
#include "fake_page_fetcher.h"
#include "service_clock.h"
#include "state_store.h"
#include "test_pages.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray todaysPage(const QByteArray &id, const QByteArray &status = "open")
{
    return "<html><head><title>Yahoo!オークション - 品物...</title></head><body><script id=\"__NEXT_DATA__\" "
           "type=\"application/"
           "json\">{\"props\":{\"pageProps\":{\"initialState\":{\"item\":{\"detail\":{\"item\":"
           "{\"auctionId\":\""
        + id
        + "\",\"title\":\"品物の全部の名前\",\"startTime\":\"2026-07-26T12:03:33+09:00\","
          "\"endTime\":\"2026-08-02T23:03:33+09:00\",\"status\":\""
        + status + "\"}}}}}}}</script></body></html>";
}

struct Fixture
{
    StateStore store;
    FixedClock clock { japanDateTime(QDate(2026, 8, 1), QTime(10, 0)) };
    FakePageFetcher fetcher;
    ServiceClock serviceClock { clock };
    PageWatcher watcher { store, serviceClock, fetcher };
    QSignalSpy menu { &watcher, &PageWatcher::timerMenuEnabled };

    Fixture()
    {
        // What the previous item page left behind.
        store.setValue(u"tmpsttime"_s, u"04/12/20 21:05"_s);
        store.setValue(u"tmpedtime"_s, u"05/01/03 09:30"_s);
        store.setValue(u"tmptitle"_s, u"前の品"_s);
    }
    bool lastMenu() const { return !menu.isEmpty() && menu.last().at(0).toBool(); }
    QStringList scratch() const
    {
        QStringList out;
        for (const QString &f : { u"tmpsttime"_s, u"tmpedtime"_s, u"tmpedsec"_s, u"tmptitle"_s })
            out << store.value(f);
        return out;
    }
};

} // namespace

class PageWatcherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pages_data();
    void pages();
    void newerPageCancelsOlderFetch();
    void frameEventOnlyUpdatesMenu();
};

void PageWatcherTest::pages_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("fetched");
    QTest::addColumn<FetchResult>("answer");
    QTest::addColumn<QStringList>("scratch"); // start, end, exact end seconds, title
    QTest::addColumn<bool>("menu");

    const QString M = u"\uFF77"_s, D = u"\uFF86"_s, H = u"\uFF7B"_s;
    const QByteArray older
        = TestPages::iconvEncode(TestPages::yahooText(u"12"_s + M + u"20"_s + D + u"21"_s + H + u"05"_s,
                                     u"1"_s + M + u"3"_s + D + u"09"_s + H + u"30"_s),
            "CP932");
    const QByteArray brokenBidders
        = TestPages::iconvEncode(TestPages::biddersText(u">12/20 2105</td>"_s), "CP932");
    const QString item = u"https://auctions.yahoo.co.jp/jp/auction/m1"_s;

    QTest::newRow("older yahoo page")
        << u"http://page.auctions.yahoo.co.jp/jp/auction/b1"_s << true << FakePageFetcher::page(older)
        << QStringList { u"25/12/20 21:05"_s, u"27/01/03 09:30"_s, QString(), QString() } << true;
    // Served over https today, and as 404 once closed: both are read.
    QTest::newRow("today's page, 404")
        << item << true << FakePageFetcher::page(todaysPage("m1"), 404)
        << QStringList { u"26/07/26 12:03"_s, u"26/08/02 23:03"_s, u"1785679413"_s, u"品物の全部の名前"_s }
        << true;
    QTest::newRow("closed auction") << item << true << FakePageFetcher::page(todaysPage("m1", "closed"), 404)
                                    << QStringList { QString(), QString(), QString(), QString() } << false;
    QTest::newRow("failed fetch") << item << true << FetchResult()
                                  << QStringList { QString(), QString(), QString(), QString() } << false;
    // Broken off after "N/A": the menu keeps the state the new page gave it.
    QTest::newRow("bidders end unreadable")
        << u"http://www.bidders.co.jp/item/1"_s << true << FakePageFetcher::page(brokenBidders)
        << QStringList { u"N/A"_s, QString(), QString(), QString() } << false;
    // The previous item's times must not reach a registration on this page.
    QTest::newRow("local file") << u"file:///home/u/html/serch.html"_s << false << FetchResult()
                                << QStringList { QString(), QString(), QString(), QString() } << false;
    QTest::newRow("about page") << u"about:blank"_s << false << FetchResult()
                                << QStringList { QString(), QString(), QString(), QString() } << false;
}

void PageWatcherTest::pages()
{
    QFETCH(QString, url);
    QFETCH(bool, fetched);
    QFETCH(FetchResult, answer);
    QFETCH(QStringList, scratch);
    QFETCH(bool, menu);

    Fixture f;
    f.store.setValue(u"Text1"_s, u"older source"_s);
    f.watcher.documentComplete(true, u"  "_s + url + u" "_s);
    QCOMPARE(f.store.value(u"txtURL"_s), url);
    QCOMPARE(f.menu.size(), 1);
    QVERIFY(!f.lastMenu());
    QCOMPARE(f.fetcher.requests.size(), fetched ? 1 : 0);
    if (fetched) {
        QCOMPARE(f.fetcher.requests[0].url, QUrl(url));
        f.fetcher.answer(answer);
    }
    QCOMPARE(f.scratch(), scratch);
    QCOMPARE(f.lastMenu(), menu);
    QCOMPARE(f.store.value(u"Text1"_s), answer.ok ? answer.text() : u"older source"_s);
}

void PageWatcherTest::newerPageCancelsOlderFetch()
{
    Fixture f;
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/a1"_s);
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/b2"_s);
    QVERIFY(f.fetcher.requests[0].cancelled);
    f.fetcher.answer(FakePageFetcher::page(todaysPage("a1")), 1);
    QCOMPARE(f.store.value(u"tmpedtime"_s), QString());
    f.fetcher.answer(FakePageFetcher::page(todaysPage("b2")), 2);
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"26/08/02 23:03"_s);
}

void PageWatcherTest::frameEventOnlyUpdatesMenu()
{
    Fixture f;
    f.store.setValue(u"txtURL"_s, u"http://top/"_s);
    f.watcher.documentComplete(false, u"http://frame/"_s);
    QCOMPARE(f.store.value(u"txtURL"_s), u"http://top/"_s);
    QCOMPARE(f.store.value(u"tmpedtime"_s), u"05/01/03 09:30"_s);
    QVERIFY(f.fetcher.requests.isEmpty());
    QVERIFY(f.lastMenu());
}

int runPageWatcherTests(int argc, char **argv)
{
    PageWatcherTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "page_watcher_test.moc"
