#include "clock.h"
#include "slot.h"
#include "state_store.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class SlotTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void armUntil_data();
    void armUntil();
    void clearForgetsTheItem();
};

void SlotTest::armUntil_data()
{
    QTest::addColumn<QTime>("now"); // on 2026-12-08
    QTest::addColumn<QString>("endText");
    QTest::addColumn<QString>("ed");
    QTest::addColumn<int>("firstTickMs");
    QTest::newRow("on a whole second") << QTime(12, 0) << u"26/12/08 12:30"_s << u"1800"_s << 1000;
    QTest::newRow("a quarter past") << QTime(12, 0, 0, 250) << u"26/12/08 12:30"_s << u"1800"_s << 750;
    QTest::newRow("as a file may hold it") << QTime(12, 0, 59, 999) << u"26/12/8  12:30"_s << u"1741"_s << 1;
}

void SlotTest::armUntil()
{
    QFETCH(QTime, now);
    QFETCH(QString, endText);
    QFETCH(QString, ed);
    QFETCH(int, firstTickMs);
    StateStore store;
    store.setSlotValue(u"EndTime"_s, 4, endText);
    Slot slot(store, 4);
    QVERIFY(slot.end().isValid());
    slot.armUntil(slot.end(), japanDateTime(QDate(2026, 12, 8), now));
    QCOMPARE(store.slotValue(u"st"_s, 4), u"0"_s);
    QCOMPARE(store.slotValue(u"ed"_s, 4), ed);
    QCOMPARE(slot.secondsLeft(), ed.toDouble());
    QVERIFY(store.isArmed(4));
    QCOMPARE(store.timer(4)->interval(), firstTickMs);
}

void SlotTest::clearForgetsTheItem()
{
    StateStore store;
    for (const QString &family : { u"reTime"_s, u"TimerText"_s, u"starttime"_s, u"EndTime"_s, u"URL"_s })
        store.setSlotValue(family, 2, u"x"_s);
    store.arm(2);
    Slot(store, 2).clear();
    QVERIFY(!store.isOccupied(2));
    QVERIFY(!store.isArmed(2));
    QVERIFY(!Slot(store, 2).end().isValid());
    for (const QString &family : { u"reTime"_s, u"starttime"_s, u"EndTime"_s, u"URL"_s })
        QCOMPARE(store.slotValue(family, 2), QString());
}

int runSlotTest(int argc, char **argv)
{
    SlotTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "slot_test.moc"
