#include "marker_recognizer.h"
#include "page_recognizer.h"

#include "cp932_codec.h"
#include "test_pages.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using Kind = MarkerReading::Kind;

Q_DECLARE_METATYPE(MarkerReading::Kind)

namespace {
// The half-width month, day and hour marks of the windows.
const QString M = u"\uFF77"_s;
const QString D = u"\uFF86"_s;
const QString H = u"\uFF7B"_s;
const QString Fun = u"\uFF8A\uFF6C"_s; // 分 as its bytes read
const QString Dot = u"\u30FB"_s;
} // namespace

class MarkerRecognizerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pages_data();
    void pages();
    void bytesThroughCodec_data();
    void bytesThroughCodec();
    void severalMegabytes();
    void believedOnlyFromTheirService_data();
    void believedOnlyFromTheirService();
};

void MarkerRecognizerTest::pages_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("complete");

    using TestPages::biddersText;
    using TestPages::yahooText;
    const QDate dec28(2004, 12, 28);
    const QString ex1 = u"12"_s + M + Dot + u" 20"_s + D + Dot + u" 21"_s + H + Dot + u" 5"_s;
    const QString ex2 = u"1"_s + M + Dot + u" 3"_s + D + Dot + u" 9"_s + H + Dot + u" 30"_s + Fun;

    QTest::newRow("worked examples") << yahooText(ex1, ex2) << dec28 << Kind::Yahoo << u"04/12/20 21:05"_s
                                     << u"05/01/03 09:30"_s << true;
    const QString small = u"1"_s + M + u" 3"_s + D + u" 9"_s + H + u" 5"_s + Fun;
    QTest::newRow("single digits padded") << yahooText(small, small) << QDate(2004, 1, 2) << Kind::Yahoo
                                          << u"04/01/03 09:05"_s << u"04/01/03 09:05"_s << true;
    const QString dec = u"12"_s + M + u"20"_s + D + u"21"_s + H + u"05"_s;
    const QString jan = u"1"_s + M + u"3"_s + D + u"09"_s + H + u"30"_s;
    QTest::newRow("start month ahead is last year")
        << yahooText(dec, jan) << QDate(2005, 1, 10) << Kind::Yahoo << u"04/12/20 21:05"_s
        << u"05/01/03 09:30"_s << true;
    QTest::newRow("end month behind is next year")
        << yahooText(dec, jan) << dec28 << Kind::Yahoo << u"04/12/20 21:05"_s << u"05/01/03 09:30"_s << true;
    QTest::newRow("equal months are this year") << yahooText(jan, jan) << QDate(2005, 1, 2) << Kind::Yahoo
                                                << u"05/01/03 09:30"_s << u"05/01/03 09:30"_s << true;
    const QString wide = u"１"_s + u"2"_s + M + u"２0"_s + D + u"21"_s + H + u"０5"_s;
    QTest::newRow("full-width digits skipped") << yahooText(wide, wide) << QDate(2004, 2, 1) << Kind::Yahoo
                                               << u"04/02/00 21:05"_s << u"04/02/00 21:05"_s << true;

    QTest::newRow("no start anchor: list page")
        << yahooText(ex1, ex2, false) << dec28 << Kind::Yahoo << QString() << QString() << true;
    QTest::newRow("hour mark first: start breaks")
        << yahooText(H + u"12"_s, ex2) << dec28 << Kind::Yahoo << QString() << QString() << false;
    QTest::newRow("one digit only: minute step breaks")
        << yahooText(u"5"_s, ex2) << dec28 << Kind::Yahoo << QString() << QString() << false;
    QTest::newRow("end breaks, start kept")
        << yahooText(ex1, u"x"_s + H) << dec28 << Kind::Yahoo << u"04/12/20 21:05"_s << QString() << false;

    // Without the end anchor the end window is read at position 61 of the page.
    QString noEnd = yahooText(ex1, QString());
    noEnd.replace(60, 16, jan + u"xxxxx"_s);
    QTest::newRow("no end anchor reads at 61")
        << noEnd << dec28 << Kind::Yahoo << u"04/12/20 21:05"_s << u"05/01/03 09:30"_s << true;

    QTest::newRow("bidders worked example 1") << biddersText(u">1/5 9:05</td"_s) << dec28 << Kind::Bidders
                                              << u"N/A"_s << u"05/01/05 09:05"_s << true;
    QTest::newRow("bidders worked example 2") << biddersText(u"12/20 21:05<"_s) << dec28 << Kind::Bidders
                                              << u"N/A"_s << u"04/12/20 21:05"_s << true;
    QTest::newRow("bidders window without colon")
        << biddersText(u">12/20 2105</td>"_s) << dec28 << Kind::Bidders << u"N/A"_s << QString() << false;

    QString both = yahooText(ex1, ex2);
    both.insert(both.indexOf(u"</title>"_s), u"[ビッダーズ]"_s);
    QTest::newRow("both kind markers: bidders")
        << both << dec28 << Kind::Bidders << u"N/A"_s << QString() << false;

    QString late = yahooText(ex1, ex2);
    late.insert(0, QString(500, u' '));
    QTest::newRow("kind marker after 500") << late << dec28 << Kind::None << QString() << QString() << true;
    QString edge = yahooText(ex1, ex2);
    edge.insert(0, QString(500 - 19 - TestPages::yahooTitleMarker().size(), u' '));
    QTest::newRow("kind marker ending at 500")
        << edge << dec28 << Kind::Yahoo << u"04/12/20 21:05"_s << u"05/01/03 09:30"_s << true;
}

void MarkerRecognizerTest::pages()
{
    QFETCH(QString, source);
    QFETCH(QDate, today);
    QFETCH(Kind, kind);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(bool, complete);

    const MarkerReading r = recognizeMarkers(source, today);
    QCOMPARE(r.kind, kind);
    QCOMPARE(r.start, start);
    QCOMPARE(r.end, end);
    QCOMPARE(r.complete, complete);
}

void MarkerRecognizerTest::bytesThroughCodec_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");

    QTest::newRow("yahoo euc-jp") << TestPages::yahooEucPage(u"12月 20日 21時 5分"_s, u"1月 3日 9時 30分"_s)
                                  << u"04/12/20 21:05"_s << u"05/01/03 09:30"_s;
    QTest::newRow("bidders shift_jis")
        << TestPages::biddersSjisPage(u">1/5 9:05</td"_s) << u"N/A"_s << u"05/01/05 09:05"_s;
}

void MarkerRecognizerTest::bytesThroughCodec()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QVERIFY(!bytes.isEmpty());

    const MarkerReading r = recognizeMarkers(Cp932::decode(bytes), QDate(2004, 12, 28));
    QCOMPARE(r.start, start);
    QCOMPARE(r.end, end);
}

void MarkerRecognizerTest::severalMegabytes()
{
    // Markers near the end of a 5 MB page: read in one pass, no crash.
    QString page = TestPages::yahooText(
        u"12"_s + M + u"20"_s + D + u"21"_s + H + u"05"_s, u"1"_s + M + u"3"_s + D + u"09"_s + H + u"30"_s);
    const qsizetype body = page.indexOf(u"<body>"_s) + 6;
    page.insert(body, QString(5 * 1024 * 1024, u'a'));
    const MarkerReading r = recognizeMarkers(page, QDate(2004, 12, 28));
    QCOMPARE(r.start, u"04/12/20 21:05"_s);
    QCOMPARE(r.end, u"05/01/03 09:30"_s);
}

void MarkerRecognizerTest::believedOnlyFromTheirService_data()
{
    QTest::addColumn<bool>("yahoo");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("read");
    QTest::newRow("Yahoo! layout on its host")
        << true << u"https://page.auctions.yahoo.co.jp/jp/auction/a1"_s << true;
    QTest::newRow("Yahoo! layout elsewhere")
        << true << u"https://auctions.yahoo.co.jp.example.com/a1"_s << false;
    QTest::newRow("Yahoo! layout, Bidders host") << true << u"http://www.bidders.co.jp/item/1"_s << false;
    QTest::newRow("Yahoo! layout in a file") << true << u"file:///tmp/item.html"_s << false;
    QTest::newRow("Bidders layout on its host") << false << u"http://www.bidders.co.jp/item/1"_s << true;
    QTest::newRow("Bidders layout elsewhere") << false << u"http://notbidders.co.jp/item/1"_s << false;
    QTest::newRow("Bidders layout, Yahoo! host") << false << u"https://auctions.yahoo.co.jp/a1"_s << false;
}

void MarkerRecognizerTest::believedOnlyFromTheirService()
{
    QFETCH(bool, yahoo);
    QFETCH(QString, url);
    QFETCH(bool, read);
    const QString window = u"12"_s + M + u" 20"_s + D + u" 21"_s + H + u" 5"_s + Fun;
    const QString source
        = yahoo ? TestPages::yahooText(window, window) : TestPages::biddersText(u">12/20 21:05</td"_s);
    const PageReading r = recognizePage(source, Cp932::encode(source), QUrl(url), QDate(2004, 12, 1));
    QCOMPARE(!r.end.isEmpty(), read);
}

int runMarkerRecognizerTests(int argc, char **argv)
{
    MarkerRecognizerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "marker_recognizer_test.moc"
