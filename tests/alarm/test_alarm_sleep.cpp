// Keeping the machine awake near an end, and the word of an end that passed
// in a sleep. The clocks are the test's: sleeping is the boot clock moving
// while the awake clock stands.

#include "sleep_guard.h"
#include "test_services.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The timers count on the boot clock, which runs on through a sleep.
struct Guarded
{
    TestServices ts;
    qint64 awakeMs = 500000;
    InhibitorRecorder inhibitor;
    NotificationRecorder notifier;
    SleepGuard guard { ts.timers, ts.store, inhibitor, notifier, [this] { return ts.steadyMs; },
        [this] { return awakeMs; } };

    void run(qint64 seconds) { sleep(seconds), awakeMs += seconds * 1000; }
    void sleep(qint64 seconds) { ts.steadyMs += seconds * 1000, ts.clock.advance(int(seconds)); }
    void arm(int n, int left, const QString &ownLead = {})
    {
        ts.arm(n, left, u"T<%1>"_s.arg(n));
        if (!ownLead.isEmpty())
            ts.timers.setOwnLead(n, ts.timers.timer(n).generation(), ownLead);
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
    g.ts.store.setValue(u"infotime"_s, lead);
    g.arm(3, left, ownLead);
    QCOMPARE(g.inhibitor.held, heldAtArming);
    if (!heldAtArming) {
        g.run(heldAfter - 2);
        g.guard.review();
        QVERIFY(!g.inhibitor.held);
        g.run(2);
        g.guard.review();
        QVERIFY(g.inhibitor.held);
    }
    // A second slot far off changes nothing; the end of the near one lets go.
    g.arm(5, 7200);
    QVERIFY(g.inhibitor.held);
    g.run(left);
    g.ts.timers.runDue();
    QVERIFY(g.ts.timers.timer(3).hasEnded());
    QVERIFY(!g.inhibitor.held);
    // A cancel lets go as well.
    g.arm(4, 300);
    QVERIFY(g.inhibitor.held);
    g.ts.timers.clear(4);
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
    g.ts.store.setValue(u"infotime"_s, u"60"_s);
    g.arm(2, 300);
    g.run(sleepAt);
    g.guard.review();
    g.sleep(sleepFor);
    if (!sleepFor)
        g.run(3600); // a SIGSTOP
    // The count catches up when the machine wakes and ends the slot at
    // once, or at its time.
    g.run(std::max(0, 300 - sleepAt - sleepFor));
    if (cancelled)
        g.ts.timers.clear(2);
    g.ts.timers.runDue();
    QCOMPARE(g.notifier.notices,
        told ? QStringList { u"スリープ中に「T<2>」が終了時刻を過ぎました。"_s } : QStringList());
    QVERIFY(!g.inhibitor.held);
}

QTEST_GUILESS_MAIN(TestAlarmSleep)
#include "test_alarm_sleep.moc"
