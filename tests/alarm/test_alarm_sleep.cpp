// Keeping the machine awake near an end, and the word of an end that passed
// in a sleep. The clocks are the test's: sleeping is the boot clock moving
// while the awake clock stands.

#include "doubles.h"
#include "sleep_guard.h"
#include "state_store.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Machine
{
    qint64 bootMs = 1000000;
    qint64 awakeMs = 500000;
    void run(qint64 seconds) { bootMs += seconds * 1000, awakeMs += seconds * 1000; }
    void sleep(qint64 seconds) { bootMs += seconds * 1000; }
};

struct Guarded
{
    Machine machine;
    StateStore store;
    InhibitorRecorder inhibitor;
    NotificationRecorder notifier;
    SleepGuard guard { store, inhibitor, notifier, [this] { return machine.bootMs; },
        [this] { return machine.awakeMs; } };

    void arm(int n, int left, const QString &ownLead = {})
    {
        store.setSlotValue(u"TimerText"_s, n, u"T<%1>"_s.arg(n));
        store.setSlotValue(u"st"_s, n, u"0"_s);
        store.setSlotValue(u"ed"_s, n, QString::number(left));
        store.setSlotValue(u"reTime"_s, n, ownLead);
        store.arm(n);
    }
};

} // namespace

class TestAlarmSleep : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void heldNearAnEnd_data();
    void heldNearAnEnd();
    void endPassedInSleep_data();
    void endPassedInSleep();
};

void TestAlarmSleep::heldNearAnEnd_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("lead"); // infotime
    QTest::addColumn<QString>("ownLead"); // reTime
    QTest::addColumn<bool>("heldAtArming");
    QTest::addColumn<int>("heldAfter"); // seconds until it is held; -1 never before the end

    QTest::newRow("alert 11 minutes away") << 1260 << u"600"_s << u""_s << false << 61;
    QTest::newRow("alert 9 minutes away") << 1140 << u"600"_s << u""_s << true << 0;
    QTest::newRow("end 9 minutes away, its alert passed") << 540 << u"600"_s << u""_s << true << 0;
    QTest::newRow("a lead that never alerts: only the end counts")
        << 1000 << u"450.5"_s << u""_s << false << 401;
    QTest::newRow("the slot's own lead") << 1260 << u"600"_s << u"1000"_s << true << 0;
}

void TestAlarmSleep::heldNearAnEnd()
{
    QFETCH(int, left);
    QFETCH(QString, lead);
    QFETCH(QString, ownLead);
    QFETCH(bool, heldAtArming);
    QFETCH(int, heldAfter);

    Guarded g;
    g.store.setValue(u"infotime"_s, lead);
    g.arm(3, left, ownLead);
    QCOMPARE(g.inhibitor.held, heldAtArming);
    if (!heldAtArming) {
        g.machine.run(heldAfter - 2);
        g.guard.review();
        QVERIFY(!g.inhibitor.held);
        g.machine.run(2);
        g.guard.review();
        QVERIFY(g.inhibitor.held);
    }
    // A second slot far off changes nothing; the end of the near one lets go.
    g.arm(5, 7200);
    QVERIFY(g.inhibitor.held);
    g.store.disarm(3);
    QVERIFY(!g.inhibitor.held);
    // A cancel lets go as well.
    g.arm(4, 300);
    QVERIFY(g.inhibitor.held);
    g.store.setSlotValue(u"TimerText"_s, 4, QString());
    g.store.disarm(4);
    QVERIFY(!g.inhibitor.held);
    QVERIFY(g.notifier.notices.isEmpty());
}

void TestAlarmSleep::endPassedInSleep_data()
{
    QTest::addColumn<int>("sleepAt"); // seconds after arming, with 300 left
    QTest::addColumn<int>("sleepFor");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("told");

    QTest::newRow("the end passed in the sleep") << 100 << 3600 << false << true;
    QTest::newRow("woke before the end") << 100 << 60 << false << false;
    QTest::newRow("slept before the end passed") << 295 << 4 << false << false;
    QTest::newRow("stopped, not asleep") << 100 << 0 << false << false;
    QTest::newRow("cancelled after the sleep") << 100 << 3600 << true << false;
}

void TestAlarmSleep::endPassedInSleep()
{
    QFETCH(int, sleepAt);
    QFETCH(int, sleepFor);
    QFETCH(bool, cancelled);
    QFETCH(bool, told);

    Guarded g;
    g.store.setValue(u"infotime"_s, u"60"_s);
    g.arm(2, 300);
    g.machine.run(sleepAt);
    g.guard.review();
    g.machine.sleep(sleepFor);
    if (!sleepFor)
        g.machine.bootMs += 3600 * 1000, g.machine.awakeMs += 3600 * 1000; // a SIGSTOP
    // The countdown catches up when the machine wakes and ends the slot
    // at once, or at its time.
    g.machine.run(std::max(0, 300 - sleepAt - sleepFor));
    if (cancelled)
        g.store.setSlotValue(u"TimerText"_s, 2, QString());
    g.store.disarm(2);
    QCOMPARE(g.notifier.notices,
        told ? QStringList { u"スリープ中に「T<2>」が終了時刻を過ぎました。"_s } : QStringList());
    QVERIFY(!g.inhibitor.held);
}

QTEST_GUILESS_MAIN(TestAlarmSleep)
#include "test_alarm_sleep.moc"
