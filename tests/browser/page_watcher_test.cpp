#include "page_watcher.h"

#include "doubles.h"
#include "fake_page_fetcher.h"
#include "service_clock.h"
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
    FixedClock clock { japanDateTime(QDate(2026, 8, 1), QTime(10, 0)) };
    FakePageFetcher fetcher;
    ServiceClock serviceClock { clock };
    PageWatcher watcher { serviceClock, fetcher };
    QSignalSpy menu { &watcher, &PageWatcher::timerMenuEnabled };

    Fixture()
    {
        // The item page shown before.
        watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/m0"_s);
        fetcher.answer(FakePageFetcher::page(todaysPage("m0")));
        fetcher.requests.clear();
        menu.clear();
    }
    bool lastMenu() const { return !menu.isEmpty() && menu.last().at(0).toBool(); }
    // What a registration would take: start, end, its exact seconds, title.
    QStringList reading() const
    {
        const std::optional<PageReading> &r = watcher.reading();
        if (!r)
            return { QString(), QString(), QString(), QString() };
        return { r->start, r->end, r->exactSeconds ? QString::number(r->endAt.toSecsSinceEpoch()) : QString(),
            r->title };
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
    QTest::addColumn<QStringList>("reading"); // start, end, exact end seconds, title
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
                                    << QStringList { QString(), QString(), u"1785679413"_s,
                                           u"品物の全部の名前"_s }
                                    << false;
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
    QFETCH(QStringList, reading);
    QFETCH(bool, menu);

    Fixture f;
    f.watcher.documentComplete(true, u"  "_s + url + u" "_s);
    // The previous item's times never reach a registration on this page.
    QVERIFY(!f.watcher.reading());
    QCOMPARE(f.menu.size(), 1);
    QVERIFY(!f.lastMenu());
    QCOMPARE(f.fetcher.requests.size(), fetched ? 1 : 0);
    if (fetched) {
        QCOMPARE(f.fetcher.requests[0].url, QUrl(url));
        f.fetcher.answer(answer);
    }
    QCOMPARE(f.reading(), reading);
    QCOMPARE(f.lastMenu(), menu);
}

void PageWatcherTest::newerPageCancelsOlderFetch()
{
    Fixture f;
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/a1"_s);
    f.watcher.documentComplete(true, u"https://auctions.yahoo.co.jp/jp/auction/b2"_s);
    QVERIFY(f.fetcher.requests[0].cancelled);
    f.fetcher.answer(FakePageFetcher::page(todaysPage("a1")), 1);
    QVERIFY(!f.watcher.reading());
    f.fetcher.answer(FakePageFetcher::page(todaysPage("b2")), 2);
    QCOMPARE(f.reading().at(1), u"26/08/02 23:03"_s);
}

void PageWatcherTest::frameEventOnlyUpdatesMenu()
{
    Fixture f;
    f.watcher.documentComplete(false, u"http://frame/"_s);
    QCOMPARE(f.reading().at(1), u"26/08/02 23:03"_s);
    QVERIFY(f.fetcher.requests.isEmpty());
    QVERIFY(f.lastMenu());
}

int runPageWatcherTests(int argc, char **argv)
{
    PageWatcherTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "page_watcher_test.moc"
