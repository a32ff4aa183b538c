// Which service's mark a slot of the status list shows.

#include "service_mark.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestAlarmMarks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void mark_data();
    void mark();
};

void TestAlarmMarks::mark_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<bool>("bidders");

    const QString item = u"https://auctions.yahoo.co.jp/jp/auction/x123456789"_s;
    QTest::newRow("Yahoo! listed as N/A: from a list, not yet read") << item << u"N/A"_s << false;
    QTest::newRow("Bidders with a listing time")
        << u"http://www.bidders.co.jp/item/1"_s << u"26/12/01 10:00"_s << true;
    QTest::newRow("a host that only ends like Yahoo!'s") << u"http://notyahoo.co.jp/x"_s << u"N/A"_s << true;
    QTest::newRow("a local file: its listing time decides") << u"/home/u/item.html"_s << u""_s << false;
}

void TestAlarmMarks::mark()
{
    QFETCH(QString, address);
    QFETCH(QString, listed);
    QFETCH(bool, bidders);
    QCOMPARE(serviceMarkOf(address, listed) == ServiceMark::Bidders, bidders);
}

QTEST_GUILESS_MAIN(TestAlarmMarks)
#include "test_alarm_marks.moc"
