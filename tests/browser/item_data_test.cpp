#include "item_data_recognizer.h"
#include "price_reader.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;
using Source = ItemDataReading::Source;

Q_DECLARE_METATYPE(ItemDataReading::Source)

namespace {

const QUrl kItemUrl(u"https://auctions.yahoo.co.jp/jp/auction/x1000000001"_s);

QByteArray nextData(const QByteArray &itemJson, const QByteArray &before = {})
{
    return "<script id=\"__NEXT_DATA__\" "
           "type=\"application/json\">{\"props\":{\"pageProps\":{\"initialState\":{"
        + before + "\"item\":{\"detail\":{\"item\":" + itemJson + "}}}}}}</script>";
}

QByteArray page(const QByteArray &inside)
{
    return "<!DOCTYPE html><html><head><title>Yahoo!オークション - 品物</title></head><body>" + inside
        + "</body></html>";
}

QString jst(const QDateTime &t)
{
    return t.isValid() ? t.toOffsetFromUtc(9 * 3600).toString(u"yyyy-MM-dd HH:mm:ss"_s) : QString();
}

} // namespace

class ItemDataTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void savedPages_data();
    void savedPages();
    void madePages_data();
    void madePages();
    void auctionIds_data();
    void auctionIds();
    void fiveMegabytes();
    void prices_data();
    void prices();
    void leftTimeWithinReason_data();
    void leftTimeWithinReason();
};

void ItemDataTest::savedPages_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("titleStart");
    QTest::addColumn<bool>("extension");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("madeAt"); // the service's clock: end less leftTime

    QTest::newRow("bid only") << u"yahoo_item_bid_only.html"_s << u"m1238496717"_s << u"2026-07-26 12:03:33"_s
                              << u"2026-08-02 23:03:33"_s << u"遊戯王 PSA10 ゼラ ゼラの儀式 2枚セット"_s
                              << true << false << u"2026-08-02 00:01:06.007"_s;
    QTest::newRow("buyout") << u"yahoo_item_buyout.html"_s << u"s1238539612"_s << u"2026-07-27 00:58:02"_s
                            << u"2026-08-02 22:58:02"_s << u"ARS10 遊戯王 はにわ 初期 Vol.1 PSA10相当"_s
                            << true << false << u"2026-08-02 00:01:05.707"_s;
    QTest::newRow("closed") << u"yahoo_closed_n1235105710.html"_s << u"n1235105710"_s
                            << u"2026-06-27 18:48:03"_s << u"2026-07-01 22:53:03"_s
                            << u"【ARS10】魔法の筒 Magic Cylinder"_s << true << true
                            << u"2026-08-09 20:03:53.566"_s;
}

void ItemDataTest::savedPages()
{
    QFETCH(QString, file);
    QFETCH(QString, id);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, titleStart);
    QFETCH(bool, extension);
    QFETCH(bool, closed);
    QFETCH(QString, madeAt);

    QFile f(QStringLiteral(LARKVANE_FIXTURES_DIR "/yahoo-2026/") + file);
    if (!f.open(QIODevice::ReadOnly))
        QSKIP("saved pages not present");
    const QByteArray body = f.readAll();

    const ItemDataReading r
        = recognizeItemData(body, QUrl(u"https://auctions.yahoo.co.jp/jp/auction/"_s + id));
    QCOMPARE(r.source, Source::NextData);
    QCOMPARE(jst(r.start), start);
    QCOMPARE(jst(r.end), end);
    QVERIFY2(r.title.startsWith(titleStart), qPrintable(r.title));
    QCOMPARE(r.automaticExtension, extension);
    QCOMPARE(r.closed, closed);
    QCOMPARE(r.serviceTime.toOffsetFromUtc(9 * 3600).toString(u"yyyy-MM-dd HH:mm:ss.zzz"_s), madeAt);

    // Another auction's address finds none of its data.
    const ItemDataReading other
        = recognizeItemData(body, QUrl(u"https://auctions.yahoo.co.jp/jp/auction/z1"_s));
    QVERIFY(other.source != Source::NextData && other.source != Source::PageData);
}

void ItemDataTest::madePages_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("closed");

    const QByteArray item
        = R"({"auctionId":"x1000000001","title":"品物","startTime":"2026-07-26T12:03:33+09:00",)"
          R"("endTime":"2026-08-02T23:03:33+09:00","isAutomaticExtension":true,"status":"open"})";
    QTest::newRow("campaign decoy first") << page(
        nextData(item, R"("itempage":{"promotion":{"items":[{"endTime":"2026-08-31T23:59:59+09:00"}]}},)"))
                                          << Source::NextData << u"2026-07-26 12:03:33"_s
                                          << u"2026-08-02 23:03:33"_s << u"品物"_s << false;
    QTest::newRow("a byte that is no UTF-8 spoils one character")
        << page(nextData(R"({"auctionId":"x1000000001","title":"品)"
                         "\xff"
                         R"(物",)"
                         R"("endTime":"2026-08-02T23:03:33+09:00"})"))
        << Source::NextData << QString() << u"2026-08-02 23:03:33"_s << u"品\uFFFD物"_s << false;
    QTest::newRow("time without offset is japan time")
        << page(nextData(R"({"auctionId":"x1000000001","title":"t","startTime":"2026-07-26T12:03:33",)"
                         R"("endTime":"2026-08-02T23:03:33"})"))
        << Source::NextData << u"2026-07-26 12:03:33"_s << u"2026-08-02 23:03:33"_s << u"t"_s << false;
    QTest::newRow("unix seconds when the texts are missing")
        << page(nextData(R"({"auctionId":"x1000000001","title":"t","timeForUlt":{"startTime":1785035013,)"
                         R"("endTime":1785679413}})"))
        << Source::NextData << u"2026-07-26 12:03:33"_s << u"2026-08-02 23:03:33"_s << u"t"_s << false;

    const QByteArray pageData
        = R"(<script>var pageData = {"items":{"productID":"x1000000001","productName":"箱; \"限定\" {版}",)"
          R"("starttime":"2026-07-26 12:03:33","endtime":"2026-08-02 23:03:33","isClosed":"0"}};</script>)";
    QTest::newRow("related item's data, own page data") << page(
        nextData(R"({"auctionId":"y2","title":"他","endTime":"2026-09-01T00:00:00+09:00"})") + pageData)
                                                        << Source::PageData << u"2026-07-26 12:03:33"_s
                                                        << u"2026-08-02 23:03:33"_s << u"箱; \"限定\" {版}"_s
                                                        << false;
    QTest::newRow("page data closed")
        << page(R"(<script>var pageData={"items":[{"productID":"y2","endtime":"2026-09-01 00:00:00"},)"
                R"({"productID":"x1000000001","productName":"n","starttime":"2026-07-26 12:03:33",)"
                R"("endtime":"2026-08-02 23:03:33","isClosed":"1"}]};</script>)")
        << Source::PageData << u"2026-07-26 12:03:33"_s << u"2026-08-02 23:03:33"_s << u"n"_s << true;

    QTest::newRow("only the visible rows")
        << page(
               "<p>登録すると<span>終了日時</span>やお知らせ</p><table><tr><th>開始日時</th><td>2026年7月26日"
               "<!-- -->（<!-- -->日<!-- -->）<!-- -->12時3分</td></tr><tr><th>終了日時</th><td>2026年8月2日"
               "(日) 23時3分</td></tr></table>")
        << Source::VisibleRows << u"2026-07-26 12:03:00"_s << u"2026-08-02 23:03:00"_s << QString() << false;
    QTest::newRow("only the older dotted row")
        << page("<table><tr><td>開始日時</td><td>：2021.10.10（日）21:04</td></tr>"
                "<tr><td>終了日時</td><td>：2021.10.15（金）19:54</td></tr></table>")
        << Source::VisibleRows << u"2021-10-10 21:04:00"_s << u"2021-10-15 19:54:00"_s << QString() << false;

    QTest::newRow("item data for another auction only")
        << page(nextData(R"({"auctionId":"y2","title":"他","endTime":"2026-09-01T00:00:00+09:00"})"))
        << Source::None << QString() << QString() << QString() << false;
    QTest::newRow("broken json") << page(
        "<script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":</script>"
        "<script>var pageData = {\"items\":{\"productID\":\"x1000000001\",")
                                 << Source::None << QString() << QString() << QString() << false;
    QTest::newRow("end out of the slots' century")
        << page(nextData(R"({"auctionId":"x1000000001","endTime":"2126-08-02T23:03:33+09:00"})"))
        << Source::None << QString() << QString() << QString() << false;
}

void ItemDataTest::madePages()
{
    QFETCH(QByteArray, body);
    QFETCH(Source, source);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, title);
    QFETCH(bool, closed);

    const ItemDataReading r = recognizeItemData(body, kItemUrl);
    QCOMPARE(r.source, source);
    QCOMPARE(jst(r.start), start);
    QCOMPARE(jst(r.end), end);
    QCOMPARE(r.title, title);
    QCOMPARE(r.closed, closed);
}

void ItemDataTest::auctionIds_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("id");

    QTest::newRow("today") << u"https://auctions.yahoo.co.jp/jp/auction/m1238496717"_s << u"m1238496717"_s;
    QTest::newRow("numbered host") << u"http://page12.auctions.yahoo.co.jp/jp/auction/b123"_s << u"b123"_s;
    QTest::newRow("list page") << u"https://auctions.yahoo.co.jp/category/list/2084005535/"_s << QString();
    QTest::newRow("look-alike host") << u"https://auctions.yahoo.co.jp.example.com/jp/auction/b1"_s
                                     << QString();
    QTest::newRow("local file") << u"file:///tmp/jp/auction/b1"_s << QString();
}

void ItemDataTest::auctionIds()
{
    QFETCH(QString, url);
    QFETCH(QString, id);
    QCOMPARE(yahooAuctionId(QUrl(url)), id);
}

void ItemDataTest::fiveMegabytes()
{
    QByteArray filler;
    filler.reserve(5 * 1024 * 1024);
    while (filler.size() < 5 * 1024 * 1024)
        filler += "<div class=\"c\">{\"endTime\":\"2026-08-31T23:59:59+09:00\"} 終了日時 &amp; </div>\n";
    const QByteArray body
        = page(filler + nextData(R"({"auctionId":"x1000000001","endTime":"2026-08-02T23:03:33+09:00"})"));
    QCOMPARE(jst(recognizeItemData(body, kItemUrl).end), u"2026-08-02 23:03:33"_s);

    // Nothing to find: every path runs to the end of the page.
    QCOMPARE(recognizeItemData(page(filler), kItemUrl).source, Source::None);
}

void ItemDataTest::leftTimeWithinReason_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<bool>("believed");
    QTest::newRow("ten minutes") << QByteArray("open") << QByteArray("600.5") << true;
    QTest::newRow("at its end") << QByteArray("open") << QByteArray("-2") << true;
    QTest::newRow("open, an hour past") << QByteArray("open") << QByteArray("-3600") << false;
    QTest::newRow("closed, an hour past") << QByteArray("closed") << QByteArray("-3600") << true;
    QTest::newRow("31 years to go") << QByteArray("open") << QByteArray("999999999") << false;
    QTest::newRow("closed 31 years ago") << QByteArray("closed") << QByteArray("-999999999") << false;
    QTest::newRow("not a number") << QByteArray("open") << QByteArray("\"600\"") << false;
}

void ItemDataTest::leftTimeWithinReason()
{
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, left);
    QFETCH(bool, believed);
    const ItemDataReading r = recognizeItemData(
        page(nextData(R"({"auctionId":"x1000000001","endTime":"2026-08-02T23:03:33+09:00","status":")"
            + status + R"(","leftTime":)" + left + "}")),
        kItemUrl);
    QCOMPARE(r.source, Source::NextData);
    QCOMPARE(r.serviceTime.isValid(), believed);
}

void ItemDataTest::prices_data()
{
    QTest::addColumn<QString>("file"); // a saved page, or empty for `older`
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("older"); // an older page's text
    QTest::addColumn<qint64>("price");
    QTest::addColumn<qint64>("bids");
    QTest::addColumn<qint64>("buyNow");

    const QString item = u"https://auctions.yahoo.co.jp/jp/auction/"_s;
    QTest::newRow("bid only") << u"yahoo-2026/yahoo_item_bid_only.html"_s << item + u"m1238496717"_s
                              << QString() << qint64(20305) << qint64(11) << qint64(-1);
    QTest::newRow("buy now") << u"yahoo-2026/yahoo_item_buyout.html"_s << item + u"s1238539612"_s << QString()
                             << qint64(3440) << qint64(11) << qint64(30000);
    QTest::newRow("closed") << u"yahoo-2026/yahoo_closed_n1235105710.html"_s << item + u"n1235105710"_s
                            << QString() << qint64(6350) << qint64(15) << qint64(-1);
    QTest::newRow("open, numeric id") << u"yahoo-real/item_open_1219987808.html"_s << item + u"1219987808"_s
                                      << QString() << qint64(3600) << qint64(5) << qint64(-1);
    QTest::newRow("closed, real") << u"yahoo-real/item_closed_x1219674283.html"_s << item + u"x1219674283"_s
                                  << QString() << qint64(12093) << qint64(17) << qint64(-1);
    QTest::newRow("another auction's page") << u"yahoo-2026/yahoo_item_buyout.html"_s << item + u"z1"_s
                                            << QString() << qint64(-1) << qint64(-1) << qint64(-1);
    QTest::newRow("older rows")
        << QString() << item + u"b1"_s
        << u"<tr><td>現在の価格</td><td>：<b>１２,５００</b> 円</td></tr>"
           "<tr><td>入札件数</td><td>6 件</td></tr><tr><td>即決価格</td><td>30,000円</td>"_s
        << qint64(12500) << qint64(6) << qint64(30000);
    QTest::newRow("nothing said") << QString() << item + u"b1"_s << u"<p>現在の価格は未定、入札件数 -</p>"_s
                                  << qint64(-1) << qint64(-1) << qint64(-1);
}

void ItemDataTest::prices()
{
    QFETCH(QString, file);
    QFETCH(QString, url);
    QFETCH(QString, older);
    QFETCH(qint64, price);
    QFETCH(qint64, bids);
    QFETCH(qint64, buyNow);

    QByteArray body = older.toUtf8();
    if (!file.isEmpty()) {
        QFile f(QStringLiteral(LARKVANE_FIXTURES_DIR "/") + file);
        if (!f.open(QIODevice::ReadOnly))
            QSKIP("saved pages not present");
        body = f.readAll();
    }
    const PriceReading r = readPrices(older, body, QUrl(url));
    QCOMPARE(r.price, price);
    QCOMPARE(r.bids, bids);
    QCOMPARE(r.buyNow, buyNow);
}

int runItemDataTests(int argc, char **argv)
{
    ItemDataTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "item_data_test.moc"
