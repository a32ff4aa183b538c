// The ten timers' step, on driven clocks: no display, no timer firing.

#include "alert_target.h"
#include "auction_timers.h"
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
    void setTimer(const AuctionTimer &timer) override
    {
        m_log << u"timer "_s + QString::number(timer.number());
    }
    void keepNotification() override { }

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
    QStringList log;
    LoggedSound sound { log };
    TestServices ts;
    AuctionTimers timers { ts.store, ts.persistence, ts.serviceClock, sound, ts.windows, ts.statusLine,
        ts.fetcher, [this] { return ts.steadyMs; } };
    // Windows still open, or closed with no event loop to delete them, go
    // with the harness.
    QObject windowParent;

    Harness()
    {
        for (const QString &name : { u"frmMessage"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s })
            ts.windows.registerWindow(name, [this, name](QObject *) {
                auto *w = new FakeWindow(name, log);
                w->setParent(&windowParent);
                return w;
            });
    }

    // "name=value" sets a setting ("_" a blank in the value), "arm3=100" gives slot 3 an item 100 s
    // from its end (a local page; "web3=100" one on the web), "own3=30" its
    // own lead, "open=frmConf" opens a window. "s" lets a second pass, "s5"
    // five; "+7000" lets 7 s pass on the steady clock before the next wake;
    // "wall+3600" moves the wall clock alone.
    void run(const QString &script)
    {
        for (const QString &s : script.split(u' ', Qt::SkipEmptyParts)) {
            // A blank inside a value is written "_".
            const QString key = s.section(u'=', 0, 0), value = s.section(u'=', 1).replace(u'_', u' ');
            static const QRegularExpression slot(u"^(arm|web|own)(\\d+)$"_s);
            const QRegularExpressionMatch m = slot.match(key);
            if (m.hasMatch()) {
                const int n = m.captured(2).toInt();
                if (m.captured(1) == u"own"_s) {
                    timers.setOwnLead(n, timers.timer(n).generation(), value);
                } else {
                    const QString url = m.captured(1) == u"web"_s
                        ? u"https://auctions.yahoo.co.jp/jp/auction/x"_s
                        : u"file:///item.html"_s;
                    timers.assign(n,
                        { key == u"arm10"_s ? value.section(u':', 1) : u"T%1"_s.arg(n), url, {} },
                        ts.clock.now().addSecs(value.section(u':', 0, 0).toLongLong()));
                }
            } else if (key == u"open"_s) {
                for (const QString &w : value.split(u','))
                    ts.windows.open(w);
            } else if (s.contains(u'=')) {
                ts.store.setValue(key, value);
            } else if (s.startsWith(u"wall+"_s)) {
                ts.clock.advance(s.mid(5).toInt());
            } else if (s.startsWith(u'+')) {
                ts.steadyMs += s.mid(1).toLongLong();
                timers.runDue();
            } else if (s.startsWith(u's')) {
                for (int i = 0; i < qMax(1, s.mid(1).toInt()); ++i) {
                    ts.steadyMs += 1000;
                    ts.clock.advance(1);
                    timers.runDue();
                }
            }
        }
    }
};

QString alert(const QString &m, const QString &s, const QString &title, int slot, const QString &half)
{
    return u"sound w.wav|あと、およそ"_s + m + u"分 "_s + s + u"秒で 「"_s + title
        + u"」 の入札が終了します。|timer %1|Text1="_s.arg(slot) + half;
}
// Not the settings dialog: its edits have nothing to do with an auction.
const QString endCloses = u"close frmAlarm|close frmMessage|close frmVersion"_s;

} // namespace

class TestAlarmTimers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void step_data();
    void step();
    void logSaysWhy_data();
    void logSaysWhy();
    void quietWakesOnlyForMoments();
    void quietReplans();
};

void TestAlarmTimers::step_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("events"); // '|' between them
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stillArmed");

    const QString w = u"wavfile=w.wav "_s;
    QTest::newRow("worked example line")
        << u"arm1=3601 arm3=126"_s << u"s"_s << u""_s << u"ﾀｲﾏｰ1: 3600秒　☆ﾀｲﾏｰ3: 125秒　☆"_s << u"1,3"_s;

    // The alert.
    QTest::newRow("worked example alert")
        << w + u"infotime=180 arm3=190"_s << u"s10"_s << alert(u" 3"_s, u" 0"_s, u"T3"_s, 3, u" 90"_s)
        << u"ﾀｲﾏｰ3: 180秒　☆"_s << u"3"_s;
    QTest::newRow("one tick early: nothing")
        << w + u"infotime=180 arm3=190"_s << u"s9"_s << u""_s << u"ﾀｲﾏｰ3: 181秒　☆"_s << u"3"_s;
    QTest::newRow("own lead over infotime, half rounded down")
        << w + u"infotime=180 arm3=150 own3=_125"_s << u"s25"_s
        << alert(u" 2"_s, u" 5"_s, u"T3"_s, 3, u" 62"_s) << u"ﾀｲﾏｰ3: 125秒　☆"_s << u"3"_s;
    QTest::newRow("lead above the time left never alerts")
        << w + u"infotime=150 arm3=100"_s << u"s100"_s << u""_s << u""_s << u""_s;
    QTest::newRow("lead 90.5 never equals")
        << w + u"infotime=90.5 arm3=100"_s << u"s100"_s << u""_s << u""_s << u""_s;
    QTest::newRow("own lead 0 is a lead of 0, not infotime: alert and end in one second")
        << w + u"infotime=50 arm3=100 own3=0 open=frmAlarm"_s << u"s100"_s
        << alert(u" 0"_s, u" 0"_s, u"T3"_s, 3, u" 0"_s) + u"|close frmAlarm|close frmMessage"_s << u""_s
        << u""_s;
    QTest::newRow("total of 0 ends on the first tick, silently, the settings dialog kept")
        << w + u"arm3=0 infotime=30 open=frmVersion,frmMessage,frmConf,frmAlarm"_s << u"s"_s << endCloses
        << u""_s << u""_s;
    QTest::newRow("negative total") << w + u"arm3=-86400 infotime=30"_s << u"s"_s << u""_s << u""_s << u""_s;
    QTest::newRow("two slots in one second: the later replaces, one sound")
        << w + u"arm3=100 arm5=100 infotime=30"_s << u"s70"_s
        << alert(u" 0"_s, u" 30"_s, u"T3"_s, 3, u" 15"_s) + u"|close frmMessage|"_s
            + alert(u" 0"_s, u" 30"_s, u"T5"_s, 5, u" 15"_s).mid(u"sound w.wav|"_s.size())
        << u"ﾀｲﾏｰ3: 30秒　☆ﾀｲﾏｰ5: 30秒　☆"_s << u"3,5"_s;
    QTest::newRow("snooze at the time left ends silently")
        << w + u"infotime=120 arm3=100"_s << u"s70 own3=30 s30"_s << u""_s << u""_s << u""_s;
    QTest::newRow("title as it is, markup and blanks kept")
        << w + u"arm10=61:_<b>限定</b>_&_品_ infotime=60"_s << u"s"_s
        << alert(u" 1"_s, u" 0"_s, u" <b>限定</b> & 品 "_s, 10, u" 30"_s) << u"ﾀｲﾏｰ10: 60秒　☆"_s << u"10"_s;

    // The end.
    QTest::newRow("an end closes another slot's alert; that slot counts on")
        << w + u"infotime=99 arm3=100 arm1=3"_s << u"s8"_s
        << alert(u" 1"_s, u" 39"_s, u"T3"_s, 3, u" 49"_s) + u"|close frmMessage"_s << u"ﾀｲﾏｰ3: 92秒　☆"_s
        << u"3"_s;
    QTest::newRow("line empty after an end until the next second")
        << u"infotime=-1 arm1=100 arm3=2"_s << u"s2"_s << u""_s << u""_s << u"1"_s;
    QTest::newRow("waiting for word of the end: armed at 0")
        << w + u"infotime=60 web3=2"_s << u"s5"_s << u""_s << u"ﾀｲﾏｰ3: 0秒　☆"_s << u"3"_s;

    // Catching up after the process was stopped or the machine slept.
    QTest::newRow("punctual wakes once each")
        << u"arm3=100"_s << u"+1000 +1000 +1000"_s << u""_s << u"ﾀｲﾏｰ3: 97秒　☆"_s << u"3"_s;
    QTest::newRow("0.9 s late runs once")
        << u"arm3=100"_s << u"+1000 +1900"_s << u""_s << u"ﾀｲﾏｰ3: 98秒　☆"_s << u"3"_s;
    QTest::newRow("a 7 s gap runs the missed ticks, alerts once with the time truly left")
        << w + u"infotime=95 arm3=100"_s << u"+1000 +7000 +1000"_s
        << alert(u" 1"_s, u" 32"_s, u"T3"_s, 3, u" 46"_s) << u"ﾀｲﾏｰ3: 91秒　☆"_s << u"3"_s;
    QTest::newRow("alert and end inside one gap: no alert")
        << w + u"infotime=95 arm3=100"_s << u"+1000 +200000"_s << u""_s << u""_s << u""_s;
    QTest::newRow("an end inside the gap stops there")
        << u"infotime=-1 arm1=900 arm3=100"_s << u"+1000 +500000 s"_s << u""_s << u"ﾀｲﾏｰ1: 398秒　☆"_s
        << u"1"_s;
    QTest::newRow("wall clock changes are ignored")
        << u"arm3=100"_s << u"+1000 wall+3600 +1000 wall+-7200 +1000"_s << u""_s << u"ﾀｲﾏｰ3: 97秒　☆"_s
        << u"3"_s;
    QTest::newRow("a new item starts the pace anew")
        << u"arm3=100"_s << u"+5000 arm3=100 +1000"_s << u""_s << u"ﾀｲﾏｰ3: 99秒　☆"_s << u"3"_s;
}

void TestAlarmTimers::step()
{
    QFETCH(QString, setup);
    QFETCH(QString, script);
    QFETCH(QString, events);
    QFETCH(QString, line);
    QFETCH(QString, stillArmed);

    Harness h;
    h.run(setup);
    h.log.clear();
    h.run(script);
    QCOMPARE(h.log.join(u'|'), events);
    QCOMPARE(h.ts.statusLine.text(), line);
    QStringList armed;
    for (int n = 1; n <= kSlotCount; ++n) {
        const AuctionTimer &t = h.timers.timer(n);
        if (t.isArmed())
            armed << QString::number(n);
        // An end keeps the item.
        QCOMPARE(
            t.isFree(), !QRegularExpression(u"\\b(arm|web)%1="_s.arg(n)).match(setup + script).hasMatch());
    }
    QCOMPARE(armed.join(u','), stillArmed);
}

// With larkvane.alarm on, the log answers "why did it (not) ring".
void TestAlarmTimers::logSaysWhy_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("says");

    QTest::newRow("lead ahead") << u"infotime=60 arm3=100"_s
                                << u"slot 3 counting: 100 s left, alert at 60 s left (the general lead)"_s;
    QTest::newRow("lead 0 alerts at the end")
        << u"arm3=100"_s << u"slot 3 counting: 100 s left, alert at 0 s left (the general lead)"_s;
    QTest::newRow("a fraction never meets the count")
        << u"infotime=90.5 arm3=100"_s
        << u"slot 3 counting: 100 s left, alert at 90.5 s left (the general lead): a lead that is no whole "
           u"number of seconds never alerts"_s;
    QTest::newRow("late tick")
        << u"arm3=100 +7000"_s
        << u"slot 3: the tick came 6 s late (stopped or asleep); running the missed ticks now"_s;
    QTest::newRow("alert") << u"wavfile=w.wav infotime=60 arm3=61 s"_s
                           << u"slot 3 alert, 60 s left: 「T3」; sound w.wav"_s;
    QTest::newRow("end") << u"infotime=60 arm3=1 s"_s << u"slot 3 ended: 「T3」, 0 s left on its count"_s;
}

void TestAlarmTimers::logSaysWhy()
{
    QFETCH(QString, script);
    QFETCH(QString, says);
    QLoggingCategory::setFilterRules(u"larkvane.alarm.info=true"_s);
    const auto quietAgain = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u'^' + QRegularExpression::escape(says) + u'$'));
    Harness h;
    h.run(script);
}

// Ten slots with different leads and ends, nothing showing the count: the
// program wakes at their alerts and their ends only, and what the slots do
// then is what one step a second does.
void TestAlarmTimers::quietWakesOnlyForMoments()
{
    QString setup = u"infotime=12 wavfile=w.wav"_s;
    QString leads;
    QSet<int> moments;
    for (int n = 1; n <= 10; ++n) {
        const int end = 30 + 7 * n;
        const int lead = n % 2 ? 10 + n : 12;
        setup += u" arm%1=%2"_s.arg(n).arg(end);
        if (n % 2)
            leads += u" own%1=%2"_s.arg(n).arg(lead);
        moments << end - lead << end;
    }
    QList<int> expected = moments.values();
    std::sort(expected.begin(), expected.end());

    Harness every;
    Harness quiet;
    quiet.timers.setWatched([] { return false; });
    every.run(setup + leads);
    quiet.run(setup + leads);
    QList<int> wakes;
    while (quiet.timers.nextWakeMs() >= 0) {
        quiet.ts.steadyMs = quiet.timers.nextWakeMs();
        quiet.timers.runDue();
        wakes << int(quiet.ts.steadyMs / 1000);
    }
    every.run(u"s100"_s);
    QCOMPARE(wakes, expected);
    QCOMPARE(quiet.log, every.log);
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(quiet.timers.timer(n).secondsLeft(), every.timers.timer(n).secondsLeft());
}

// A snooze and a window that shows the count move the next wake.
void TestAlarmTimers::quietReplans()
{
    Harness h;
    bool watched = false;
    h.timers.setWatched([&watched] { return watched; });
    h.run(u"infotime=10 arm3=100"_s);
    QCOMPARE(h.timers.nextWakeMs(), 90000);
    h.run(u"own3=40"_s);
    QCOMPARE(h.timers.nextWakeMs(), 60000);
    h.run(u"infotime=70 own3="_s);
    QCOMPARE(h.timers.nextWakeMs(), 30000);
    watched = true;
    h.ts.steadyMs = 20500;
    h.timers.paceChanged();
    // The seconds slept are run at once, and the next tick is a second on.
    QCOMPARE(h.timers.timer(3).secondsLeft(), 80);
    QCOMPARE(h.ts.statusLine.text(), u"ﾀｲﾏｰ3: 80秒　☆"_s);
    QCOMPARE(h.timers.nextWakeMs(), 21000);
    watched = false;
    h.timers.paceChanged();
    QCOMPARE(h.timers.nextWakeMs(), 30000);
}

QTEST_GUILESS_MAIN(TestAlarmTimers)
#include "test_alarm_timers.moc"
