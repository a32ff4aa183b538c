// The small rules under the windows: the ended-item test.

#include "clock.h"
#include "ended_item.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestAlarmRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ended_data();
    void ended();
};

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
