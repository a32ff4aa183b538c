// The small rules under the windows: twips and the ended-item test.

#include "clock.h"
#include "ended_item.h"
#include "twips.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestAlarmRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void twips_data();
    void twips();
    void ended_data();
    void ended();
};

void TestAlarmRules::twips_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("96 dpi, 15 a pixel") << 96.0 << 1500.0 << 100;
    QTest::newRow("120 dpi, 12 a pixel") << 120.0 << -1500.0 << -125;
    QTest::newRow("110 dpi, rounded") << 110.0 << 1000.0 << 76;
    QTest::newRow("no dpi counts as 96") << 0.0 << 1500.0 << 100;
    QTest::newRow("absurd stored value") << 96.0 << 1e300 << 10000000;
}

void TestAlarmRules::twips()
{
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(Twips::toPixels(twips, dpi), pixels);
    // Every pixel position comes back from its twips unchanged.
    for (int px = -2000; px <= 8000; px += 7)
        QCOMPARE(Twips::toPixels(Twips::fromPixels(px, dpi), dpi), px);
}

void TestAlarmRules::ended_data()
{
    QTest::addColumn<QString>("endTime");
    QTest::addColumn<QTime>("now"); // on 2026-12-08
    QTest::addColumn<bool>("ended");

    QTest::newRow("23:59 at 23:59:00") << u"26/12/08 23:59"_s << QTime(23, 59, 0) << false;
    QTest::newRow("23:59 at 23:59:01") << u"26/12/08 23:59"_s << QTime(23, 59, 1) << true;
    QTest::newRow("tomorrow at 23:59:59") << u"26/12/09 00:00"_s << QTime(23, 59, 59) << false;
    QTest::newRow("yesterday at 00:00") << u"26/12/07 23:59"_s << QTime(0, 0) << true;
    QTest::newRow("next year, earlier month") << u"27/01/01 00:00"_s << QTime(12, 0) << false;
    QTest::newRow("date with a trailing blank") << u"26/12/7  10:00"_s << QTime(12, 0) << true;
    QTest::newRow("empty") << u""_s << QTime(12, 0) << false;
    QTest::newRow("month 13") << u"26/13/01 10:00"_s << QTime(12, 0) << false;
    QTest::newRow("no time") << u"26/12/01"_s << QTime(12, 0) << false;
}

void TestAlarmRules::ended()
{
    QFETCH(QString, endTime);
    QFETCH(QTime, now);
    QFETCH(bool, ended);
    QCOMPARE(endTimeHasPassed(endTime, japanDateTime(QDate(2026, 12, 8), now)), ended);
}

QTEST_GUILESS_MAIN(TestAlarmRules)
#include "test_alarm_rules.moc"
