// The tick of a slot, driven directly: no display, no timers firing.

#include "alert_target.h"
#include "countdown.h"
#include "test_services.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Windows and a sound that only write what happens to them into one log.
class FakeWindow : public QObject, public AlertTarget
{
    Q_OBJECT
    Q_INTERFACES(AlertTarget)
    Q_PROPERTY(bool visible MEMBER m_visible)
public:
    FakeWindow(const QString &name, QStringList &log)
        : m_name(name)
        , m_log(log)
    {
    }
    Q_INVOKABLE void show() { m_visible = true; }
    Q_INVOKABLE void raise() { }
    Q_INVOKABLE bool close()
    {
        m_log << u"close "_s + m_name;
        m_visible = false;
        deleteLater();
        return true;
    }
    void setMessage(const QString &text) override { m_log << text; }
    void setSnoozeOffer(const QString &text) override { m_log << u"Text1="_s + text; }
    void setSecondsLeft(const QString &text) override { m_log << u"zanT="_s + text; }

private:
    QString m_name;
    QStringList &m_log;
    bool m_visible = false;
};

struct LoggedSound final : SoundPlayer
{
    QStringList &log;
    explicit LoggedSound(QStringList &l)
        : log(l)
    {
    }
    void play(const QString &path) override { log << u"sound "_s + path; }
};

struct Harness
{
    TestServices ts;
    QStringList log;
    // Windows still open, or closed with no event loop to delete them, go
    // with the harness.
    QObject windowParent;
    LoggedSound sound { log };
    Services services { ts.store, ts.persistence, ts.serviceClock, ts.messages, sound, ts.windows,
        ts.statusLine, ts.browser, ts.files };
    qint64 steadyMs = 0;
    Countdown countdown { services, [this] { return steadyMs; } };

    Harness()
    {
        for (const QString &name : { u"frmMessage"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s })
            ts.windows.registerWindow(name, [this, name](QObject *) {
                auto *w = new FakeWindow(name, log);
                w->setParent(&windowParent);
                return w;
            });
    }

    // "field=value;...", "arm=1,3" and "open=frmConf,..." set the scene. The
    // script: "3" ticks slot 3, "3x5" five times, "+1500" lets 1.5 s of
    // steady time pass, "wall+3600" moves the wall clock, "re3" re-arms 3,
    // "ed3=60" sets a field between ticks; "hold=3" makes slot 3 wait at 0.
    void run(const QString &setup, const QString &script)
    {
        for (const QString &item : setup.split(u';', Qt::SkipEmptyParts)) {
            const QString key = item.section(u'=', 0, 0), value = item.section(u'=', 1);
            for (const QString &v : value.split(u','))
                if (key == u"arm"_s)
                    ts.store.arm(v.toInt());
                else if (key == u"hold"_s)
                    countdown.setEndHold([n = v.toInt()](int k) { return k == n; });
                else if (key == u"open"_s)
                    ts.windows.open(v);
            if (key != u"arm"_s && key != u"open"_s && key != u"hold"_s)
                ts.store.setValue(key, value);
        }
        for (const QString &s : script.split(u' ', Qt::SkipEmptyParts)) {
            if (s.startsWith(u"wall+"_s)) {
                ts.clock.advance(s.mid(5).toInt());
            } else if (s.startsWith(u'+')) {
                steadyMs += s.mid(1).toLongLong();
            } else if (s.contains(u'=')) {
                ts.store.setValue(s.section(u'=', 0, 0), s.section(u'=', 1));
            } else if (s.startsWith(u"re"_s)) {
                ts.store.disarm(s.mid(2).toInt());
                ts.store.setSlotValue(u"st"_s, s.mid(2).toInt(), u"0"_s);
                ts.store.arm(s.mid(2).toInt());
            } else {
                for (int i = 0; i < qMax(1, s.section(u'x', 1).toInt()); ++i)
                    countdown.tick(s.section(u'x', 0, 0).toInt());
            }
        }
    }
};

const QString slot3 = u"TimerText3=T;st3=0;ed3=100;wavfile=w.wav;arm=3;"_s;
QString alert(
    const QString &m, const QString &s, const QString &title, const QString &half, const QString &lead)
{
    return u"sound w.wav|あと、およそ"_s + m + u"分 "_s + s + u"秒で 「"_s + title
        + u"」 の入札が終了します。|Text1="_s + half + u"|zanT="_s + lead;
}
const QString endCloses = u"close frmAlarm|close frmConf|close frmMessage|close frmVersion"_s;

} // namespace

class TestAlarmCountdown : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tick_data();
    void tick();
    void ownFieldsOnly_data();
    void ownFieldsOnly();
    void logSaysWhy_data();
    void logSaysWhy();
    void quietWakesOnlyForMoments();
    void quietReplans();
};

// Ten slots with different leads and ends, nothing showing the count: the
// slots wake at their first tick, their alerts and their ends only, and
// what they do then is what one tick a second does.
void TestAlarmCountdown::quietWakesOnlyForMoments()
{
    QString setup = u"infotime=12;wavfile=w.wav;"_s;
    QStringList expected;
    QList<QPair<int, int>> moments;
    for (int n = 1; n <= 10; ++n) {
        const int end = 30 + 7 * n;
        const int lead = n % 2 ? 10 + n : 12;
        setup += u"TimerText%1=T%1;st%1=0;ed%1=%2;"_s.arg(n).arg(end);
        if (n % 2)
            setup += u"reTime%1=%2;"_s.arg(n).arg(lead);
        moments << qMakePair(1, n) << qMakePair(end - lead, n) << qMakePair(end, n);
    }
    setup += u"arm=1,2,3,4,5,6,7,8,9,10"_s;
    std::sort(moments.begin(), moments.end());
    for (const auto &m : std::as_const(moments))
        expected << u"%1:%2"_s.arg(m.first).arg(m.second);

    Harness every;
    Harness quiet;
    quiet.countdown.setWatched([] { return false; });
    every.run(setup, {});
    quiet.run(setup, {});
    QStringList wakes;
    for (;;) {
        int n = 0;
        for (int k = 1; k <= 10; ++k) {
            const qint64 due = quiet.countdown.nextTickDueMs(k);
            if (due >= 0 && (!n || due < quiet.countdown.nextTickDueMs(n)))
                n = k;
        }
        if (!n)
            break;
        quiet.steadyMs = quiet.countdown.nextTickDueMs(n);
        quiet.countdown.tick(n);
        wakes << u"%1:%2"_s.arg(quiet.steadyMs / 1000).arg(n);
    }
    for (int s = 1; s <= 100; ++s) {
        every.steadyMs = s * 1000;
        for (int n = 1; n <= 10; ++n)
            every.countdown.tick(n);
    }
    QCOMPARE(wakes, expected);
    QCOMPARE(quiet.log, every.log);
    QCOMPARE(quiet.ts.store.value(u"Tnum"_s), every.ts.store.value(u"Tnum"_s));
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(quiet.ts.store.slotValue(u"st"_s, n), every.ts.store.slotValue(u"st"_s, n));
}

// A snooze, a new lead and a window that shows the count move the next wake.
void TestAlarmCountdown::quietReplans()
{
    Harness h;
    bool watched = false;
    h.countdown.setWatched([&watched] { return watched; });
    h.run(slot3 + u"infotime=10"_s, u"+1000 3"_s);
    QCOMPARE(h.countdown.nextTickDueMs(3), 90000);
    h.ts.store.setValue(u"reTime3"_s, u"40"_s);
    QCOMPARE(h.countdown.nextTickDueMs(3), 60000);
    h.ts.store.setValue(u"ed3"_s, u"200"_s);
    QCOMPARE(h.countdown.nextTickDueMs(3), 160000);
    watched = true;
    h.steadyMs = 30500;
    h.countdown.paceChanged();
    // The seconds slept are run at once, and the next tick is a second on.
    QCOMPARE(h.ts.store.slotValue(u"st"_s, 3), u"30"_s);
    QCOMPARE(h.countdown.nextTickDueMs(3), 31000);
    QCOMPARE(h.ts.store.timer(3)->interval(), 500);
    watched = false;
    h.countdown.paceChanged();
    QCOMPARE(h.countdown.nextTickDueMs(3), 160000);
}

void TestAlarmCountdown::tick_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("events"); // '|' between them
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stillArmed");
    QTest::addColumn<QString>("tnum");

    // The status line.
    QTest::newRow("worked example line") << u"st1=0;ed1=3601;st3=0;ed3=126;arm=1,3"_s << u"1 3"_s << u""_s
                                         << u"ﾀｲﾏｰ1: 3600秒　☆ﾀｲﾏｰ3: 125秒　☆"_s << u"1,3"_s << u"0"_s;
    QTest::newRow("others at their own last tick, 0 before the first")
        << u"st2=0;ed2=50;st7=0;ed7=500;st10=0;ed10=9;arm=2,7,10"_s << u"2x3 7"_s << u""_s
        << u"ﾀｲﾏｰ2: 47秒　☆ﾀｲﾏｰ7: 499秒　☆ﾀｲﾏｰ10: 0秒　☆"_s << u"2,7,10"_s << u"0"_s;
    QTest::newRow("non-numeric counts read as 0")
        << u"st4=abc;ed4= 30x;arm=4"_s << u"4"_s << u""_s << u"ﾀｲﾏｰ4: 29秒　☆"_s << u"4"_s << u"0"_s;
    QTest::newRow("re-armed slot shows the old value until its tick")
        << u"st5=0;ed5=100;st6=0;ed6=80;arm=5,6"_s << u"5x2 6 re5 6"_s << u""_s
        << u"ﾀｲﾏｰ5: 98秒　☆ﾀｲﾏｰ6: 78秒　☆"_s << u"5,6"_s << u"0"_s;

    // The alert.
    QTest::newRow("worked example alert")
        << slot3 + u"infotime=180;ed3=190"_s << u"3x10"_s
        << alert(u" 3"_s, u" 0"_s, u"T"_s, u" 90"_s, u" 180"_s) << u"ﾀｲﾏｰ3: 180秒　☆"_s << u"3"_s << u"3"_s;
    QTest::newRow("one tick early: nothing")
        << slot3 + u"infotime=180;ed3=190"_s << u"3x9"_s << u""_s << u"ﾀｲﾏｰ3: 181秒　☆"_s << u"3"_s << u"0"_s;
    QTest::newRow("own lead over infotime, half rounded down")
        << slot3 + u"infotime=180;reTime3= 125;ed3=150"_s << u"3x24 3"_s
        << alert(u" 2"_s, u" 5"_s, u"T"_s, u" 62"_s, u" 125"_s) << u"ﾀｲﾏｰ3: 125秒　☆"_s << u"3"_s << u"3"_s;
    QTest::newRow("lead above the time left never alerts")
        << slot3 + u"infotime=150"_s << u"3x100"_s << u""_s << u""_s << u""_s << u"0"_s;
    QTest::newRow("lead 90.5 never equals")
        << slot3 + u"infotime=90.5"_s << u"3x100"_s << u""_s << u""_s << u""_s << u"0"_s;
    QTest::newRow("reTime 0 is a lead of 0, not infotime: alert and end in one tick")
        << slot3 + u"infotime=50;reTime3=0;open=frmAlarm"_s << u"3x100"_s
        << alert(u" 0"_s, u" 0"_s, u"T"_s, u" 0"_s, u" 0"_s) + u"|close frmAlarm|close frmMessage"_s << u""_s
        << u""_s << u"3"_s;
    QTest::newRow("total of 0 ends on the first tick, silently")
        << slot3 + u"ed3=0;infotime=30;open=frmVersion,frmMessage,frmConf,frmAlarm"_s << u"3"_s << endCloses
        << u""_s << u""_s << u"0"_s;
    QTest::newRow("negative total") << slot3 + u"ed3=-86400;infotime=30"_s << u"3"_s << u""_s << u""_s
                                    << u""_s << u"0"_s;
    QTest::newRow("two slots in one second: the later replaces")
        << slot3 + u"TimerText5=U;st5=0;ed5=100;arm=5;infotime=30"_s << u"3x69 5x69 3 5"_s
        << alert(u" 0"_s, u" 30"_s, u"T"_s, u" 15"_s, u" 30"_s) + u"|close frmMessage|"_s
            + alert(u" 0"_s, u" 30"_s, u"U"_s, u" 15"_s, u" 30"_s)
        << u"ﾀｲﾏｰ3: 30秒　☆ﾀｲﾏｰ5: 30秒　☆"_s << u"3,5"_s << u"5"_s;
    QTest::newRow("snooze at the time left ends silently")
        << slot3 + u"infotime=90;st3=70;reTime3=30"_s << u"3x30"_s << u""_s << u""_s << u""_s << u"0"_s;
    QTest::newRow("title as it is, markup and blanks kept")
        << u"TimerText10= <b>限定</b> & 品 ;st10=0;ed10=61;infotime=60;wavfile=w.wav;arm=10"_s << u"10"_s
        << alert(u" 1"_s, u" 0"_s, u" <b>限定</b> & 品 "_s, u" 30"_s, u" 60"_s) << u"ﾀｲﾏｰ10: 60秒　☆"_s
        << u"10"_s << u"10"_s;

    // The end.
    QTest::newRow("an end closes another slot's alert; that slot counts on")
        << slot3 + u"infotime=99;st1=0;ed1=3;arm=1"_s << u"3 1x3 3x5"_s
        << alert(u" 1"_s, u" 39"_s, u"T"_s, u" 49"_s, u" 99"_s) + u"|close frmMessage"_s
        << u"ﾀｲﾏｰ3: 94秒　☆"_s << u"3"_s << u"3"_s;
    QTest::newRow("line empty after an end until another tick")
        << slot3 + u"infotime=-1;st1=0;ed1=2;arm=1"_s << u"3 1x2"_s << u""_s << u""_s << u"3"_s << u"0"_s;

    // Catching up after the process was stopped or the machine slept.
    QTest::newRow("punctual ticks once each")
        << slot3 << u"+1000 3 +1000 3 +1000 3"_s << u""_s << u"ﾀｲﾏｰ3: 97秒　☆"_s << u"3"_s << u"0"_s;
    QTest::newRow("0.9 s late runs once")
        << slot3 << u"+1000 3 +1900 3"_s << u""_s << u"ﾀｲﾏｰ3: 98秒　☆"_s << u"3"_s << u"0"_s;
    QTest::newRow("a 7 s gap runs the missed ticks, alerts once with the time truly left")
        << slot3 + u"infotime=95"_s << u"+1000 3 +7000 3 +1000 3"_s
        << alert(u" 1"_s, u" 32"_s, u"T"_s, u" 46"_s, u" 92"_s) << u"ﾀｲﾏｰ3: 91秒　☆"_s << u"3"_s << u"3"_s;
    QTest::newRow("alert and end inside one gap: no alert")
        << slot3 + u"infotime=95"_s << u"+1000 3 +200000 3"_s << u""_s << u""_s << u""_s << u"0"_s;
    QTest::newRow("a count set lower over the lead alerts at once")
        << slot3 + u"infotime=60"_s << u"3x10 ed3=60 3"_s
        << alert(u" 0"_s, u" 49"_s, u"T"_s, u" 24"_s, u" 49"_s) << u"ﾀｲﾏｰ3: 49秒　☆"_s << u"3"_s << u"3"_s;
    QTest::newRow("waiting for word of the end: armed at 0")
        << slot3 + u"infotime=60;ed3=2;hold=3"_s << u"3x5"_s << u""_s << u"ﾀｲﾏｰ3: 0秒　☆"_s << u"3"_s
        << u"0"_s;
    QTest::newRow("an end inside the gap stops there")
        << slot3 + u"infotime=-1;st1=0;ed1=900;arm=1"_s << u"+1000 3 +500000 3 1"_s << u""_s
        << u"ﾀｲﾏｰ1: 399秒　☆"_s << u"1"_s << u"0"_s;
    QTest::newRow("wall clock changes are ignored")
        << slot3 << u"+1000 3 wall+3600 +1000 3 wall+-7200 +1000 3"_s << u""_s << u"ﾀｲﾏｰ3: 97秒　☆"_s
        << u"3"_s << u"0"_s;
    QTest::newRow("re-arming starts the pace anew")
        << slot3 << u"+5000 re3 +1000 3"_s << u""_s << u"ﾀｲﾏｰ3: 99秒　☆"_s << u"3"_s << u"0"_s;
}

void TestAlarmCountdown::tick()
{
    QFETCH(QString, setup);
    QFETCH(QString, script);
    QFETCH(QString, events);
    QFETCH(QString, line);
    QFETCH(QString, stillArmed);
    QFETCH(QString, tnum);

    Harness h;
    h.run(setup, {});
    h.log.clear();
    h.run({}, script);
    QCOMPARE(h.log.join(u'|'), events);
    QCOMPARE(h.ts.statusLine.text(), line);
    QStringList armed;
    for (int n = 1; n <= StateStore::kSlots; ++n)
        if (h.ts.store.isArmed(n))
            armed << QString::number(n);
    QCOMPARE(armed.join(u','), stillArmed);
    QCOMPARE(h.ts.store.value(u"Tnum"_s), tnum);
    // No slot counts on past its end, and an end keeps the slot's data.
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        const double total = h.ts.store.slotValue(u"ed"_s, n).toDouble();
        QVERIFY(h.ts.store.slotValue(u"st"_s, n).toDouble() <= qMax(total, 1.0));
    }
    QCOMPARE(h.ts.store.value(u"TimerText3"_s).isEmpty(), !setup.contains(u"TimerText3"_s));
}

void TestAlarmCountdown::ownFieldsOnly_data()
{
    QTest::addColumn<int>("slot");
    for (int n = 1; n <= StateStore::kSlots; ++n)
        QTest::addRow("slot %d", n) << n;
}

void TestAlarmCountdown::ownFieldsOnly()
{
    QFETCH(int, slot);
    Harness h;
    QString setup = u"infotime=-5;arm=1,2,3,4,5,6,7,8,9,10"_s;
    for (int n = 1; n <= StateStore::kSlots; ++n)
        for (const QString &f : { u"st"_s, u"ed"_s, u"reTime"_s, u"TimerText"_s, u"URL"_s, u"EndTime"_s })
            setup += u";%1%2=%3"_s.arg(f).arg(n).arg(f == u"st"_s ? 0 : 100 * n);
    h.run(setup, {});
    QHash<QString, QString> before;
    for (int n = 1; n <= StateStore::kSlots; ++n)
        for (const QString &f : { u"st"_s, u"ed"_s, u"reTime"_s, u"TimerText"_s, u"URL"_s, u"EndTime"_s })
            before.insert(f + QString::number(n), h.ts.store.slotValue(f, n));
    before[u"st"_s + QString::number(slot)] = u"1"_s;

    h.run({}, QString::number(slot));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(h.ts.store.value(it.key()), it.value());
    QString line;
    for (int n = 1; n <= StateStore::kSlots; ++n)
        line += u"ﾀｲﾏｰ%1: %2秒　☆"_s.arg(n).arg(n == slot ? 100 * n - 1 : 0);
    QCOMPARE(h.ts.statusLine.text(), line);
}

// With larkvane.alarm on, the log answers "why did it (not) ring".
void TestAlarmCountdown::logSaysWhy_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("says");

    const QString item = u"TimerText3=壺;wavfile=w.wav;"_s;
    QTest::newRow("lead ahead") << item + u"infotime=60;st3=0;ed3=100;arm=3"_s << QString()
                                << u"slot 3 counting: 100 s left, alert at 60 s left (the general lead)"_s;
    QTest::newRow("lead 0 alerts at the end")
        << item + u"st3=0;ed3=100;arm=3"_s << QString()
        << u"slot 3 counting: 100 s left, alert at 0 s left (the general lead)"_s;
    QTest::newRow("own lead beyond the time left")
        << item + u"infotime=60;reTime3=200;st3=0;ed3=100;arm=3"_s << QString()
        << u"slot 3 counting: 100 s left, alert at 200 s left (its own): that is not ahead, so no alert "
           u"comes "
           u"before the end"_s;
    QTest::newRow("a fraction never meets the count")
        << item + u"infotime=90.5;st3=0;ed3=100;arm=3"_s << QString()
        << u"slot 3 counting: 100 s left, alert at 90.5 s left (the general lead): a lead that is no whole "
           u"number "
           u"of seconds never alerts"_s;
    QTest::newRow("late tick")
        << item + u"st3=0;ed3=100;arm=3"_s << u"+7000 3"_s
        << u"slot 3: the tick came 6 s late (stopped or asleep); running the missed ticks "
           u"now"_s;
    QTest::newRow("alert") << item + u"infotime=60;st3=39;ed3=100;arm=3"_s << u"+1000 3"_s
                           << u"slot 3 alert, 60 s left: 「壺」; sound w.wav"_s;
    QTest::newRow("end") << item + u"infotime=60;st3=99;ed3=100;arm=3"_s << u"+1000 3"_s
                         << u"slot 3 ended: 「壺」, count 100 of 100 s"_s;
}

void TestAlarmCountdown::logSaysWhy()
{
    QFETCH(QString, setup);
    QFETCH(QString, script);
    QFETCH(QString, says);
    QLoggingCategory::setFilterRules(u"larkvane.alarm.info=true"_s);
    const auto quietAgain = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u'^' + QRegularExpression::escape(says) + u'$'));
    Harness h;
    h.run(setup, script);
}

QTEST_GUILESS_MAIN(TestAlarmCountdown)
#include "test_alarm_countdown.moc"
