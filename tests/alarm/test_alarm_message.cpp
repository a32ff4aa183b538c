// The alert window as the countdown opens it, driven through its controls.

#include "alarm_windows.h"
#include "countdown.h"
#include "cp932_codec.h"
#include "test_services.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Like the real box, a child of its owner while it is up; counts the boxes
// whose owner let them die inside their nested loop.
class OwnedBox final : public MessageBox
{
public:
    void show(const QString &text, QObject *owner) override
    {
        texts << text;
        QPointer<QObject> box = new QObject(owner);
        if (onShow)
            onShow();
        lostBoxes += box.isNull();
        delete box.data();
    }
    QStringList texts;
    int lostBoxes = 0;
    std::function<void()> onShow;
};

struct Alarm
{
    TestServices ts;
    OwnedBox messages;
    Services services { ts.store, ts.persistence, ts.serviceClock, messages, ts.sound, ts.windows,
        ts.statusLine, ts.browser, ts.files };
    Countdown countdown { services, [] { return qint64(0); } };
    NotificationRecorder notifier;

    Alarm() { registerAlarmWindows(ts.windows, services, &notifier); }
    ~Alarm() { ts.windows.close(u"frmMessage"_s), flush(); }
    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Slot n alerts at once with the given lead.
    void alert(int n, int lead, const QString &title = u"品物"_s)
    {
        for (const auto &[f, v] :
            { std::pair { u"TimerText"_s, title }, { u"URL"_s, u"http://x/"_s + QString::number(n) },
                { u"st"_s, u"0"_s }, { u"ed"_s, QString::number(lead + 1) }, { u"reTime"_s, u""_s } })
            ts.store.setSlotValue(f, n, v);
        ts.store.setValue(u"infotime"_s, QString::number(lead));
        ts.store.arm(n);
        countdown.tick(n);
    }
    QWidget *window() const { return ts.windows.find<QWidget>(u"frmMessage"_s); }
    template <class T = QLineEdit> T *get(const QString &name) const
    {
        return window()->findChild<T *>(name);
    }
    void click(const QString &name) const { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
    void ownTick() const { QMetaObject::invokeMethod(get<QTimer>(u"Timer1"_s), "timeout"); }
};

} // namespace

class TestAlarmMessage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opens();
    void ownCount_data();
    void ownCount();
    void snooze_data();
    void snooze();
    void snoozeWhileTicksRun_data();
    void snoozeWhileTicksRun();
    void closingStoresPosition_data();
    void closingStoresPosition();
    void showAuction_data();
    void showAuction();
    void usableWhileWindowModalDialogOpen();
    void notification();
};

// The alert is also the desktop's notification for as long as its window is
// open; its action does what the window's button does.
void TestAlarmMessage::notification()
{
    Alarm a;
    a.alert(2, 90, u"壺"_s);
    a.alert(5, 60, u"皿"_s);
    QCOMPARE(a.notifier.alerts,
        (QStringList { u"あと、およそ 1分  30秒で 「壺」 の入札が終了します。"_s,
            u"あと、およそ 1分  0秒で 「皿」 の入札が終了します。"_s }));
    QVERIFY(a.notifier.showItem);
    a.notifier.showItem();
    QCOMPARE(a.ts.browser.navigated, QStringList { u"http://x/5"_s });
    QVERIFY(a.window()->isVisible());
    a.click(u"Command1"_s);
    QCOMPARE(a.notifier.withdrawn, 2); // the older window's, and its own
    QVERIFY(!a.notifier.showItem);
    QVERIFY(a.notifier.notices.isEmpty());
}

void TestAlarmMessage::opens()
{
    Alarm a;
    a.ts.store.setValue(u"frmMes_pos_left"_s, u"3000"_s);
    a.ts.store.setValue(u"frmMes_pos_top"_s, u" 1500"_s);
    a.alert(4, 180, u"<b>限定</b> 腕時計 & ベルト"_s);

    QWidget *w = a.window();
    QVERIFY(w && w->isVisible() && !w->parent());
    QCOMPARE(w->windowTitle(), u"Larkvane"_s);
    QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(w->pos(), QPoint(200, 100));
    auto *label1 = a.get<QLabel>(u"Label1"_s);
    QCOMPARE(label1->textFormat(), Qt::PlainText);
    QCOMPARE(
        label1->text(), u"あと、およそ 3分  0秒で 「<b>限定</b> 腕時計 & ベルト」 の入札が終了します。"_s);
    QCOMPARE(a.get(u"Text1"_s)->text(), u" 90"_s);
    QCOMPARE(a.get(u"zanT"_s)->text(), u" 180"_s);
    QVERIFY(!a.get(u"zanT"_s)->isVisible());
    QStringList buttons;
    for (const QString &name : { u"retimer"_s, u"Command2"_s, u"Command1"_s })
        buttons << a.get<QPushButton>(name)->text();
    QCOMPARE(buttons, (QStringList { u"秒　で再設定する"_s, u"このｵｰｸｼｮﾝを表示"_s, u"閉じる"_s }));
    QVERIFY(a.get<QTimer>(u"Timer1"_s)->isActive());
}

void TestAlarmMessage::ownCount_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<bool>("running");

    QTest::newRow("one second off") << u" 180"_s << 1 << u"タイマーの残りは  179秒です。"_s << true;
    QTest::newRow("stops at 0, two blanks") << u" 3"_s << 3 << u"タイマーの残りは  0秒です。"_s << false;
    QTest::newRow("non-numeric is 0") << u"x"_s << 1 << u"タイマーの残りは -1秒です。"_s << true;
}

void TestAlarmMessage::ownCount()
{
    QFETCH(QString, start);
    QFETCH(int, ticks);
    QFETCH(QString, label2);
    QFETCH(bool, running);

    Alarm a;
    a.alert(1, 60);
    QCOMPARE(a.get<QLabel>(u"Label2"_s)->text(), u""_s);
    a.get(u"zanT"_s)->setText(start);
    for (int i = 0; i < ticks; ++i)
        a.ownTick();
    QCOMPARE(a.get<QLabel>(u"Label2"_s)->text(), label2);
    QCOMPARE(a.get<QTimer>(u"Timer1"_s)->isActive(), running);
    QVERIFY(a.window()->isVisible());
}

void TestAlarmMessage::snooze_data()
{
    QTest::addColumn<QString>("typed"); // null: what the countdown offered
    QTest::addColumn<bool>("runOut"); // the window's own count reached 0
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reTime"); // null: refused

    const QString tooSmall = u"最低でも10秒以上で設定してください。"_s;
    const QString confirm = u"タイマーのお知らせ時間を%1秒前に再設定します。"_s;
    QTest::newRow("offered half lead, blank kept") << QString() << false << confirm.arg(u" 90"_s) << u" 90"_s;
    QTest::newRow("10") << u"10"_s << false << confirm.arg(u"10"_s) << u"10"_s;
    QTest::newRow("9.5") << u"9.5"_s << false << tooSmall << QString();
    QTest::newRow("9") << u"9"_s << false << tooSmall << QString();
    QTest::newRow("empty") << u""_s << false << tooSmall << QString();
    QTest::newRow("15abc as typed") << u"15abc"_s << false << confirm.arg(u"15abc"_s) << u"15abc"_s;
    QTest::newRow("above the time left") << u"5000"_s << false << confirm.arg(u"5000"_s) << u"5000"_s;
    QTest::newRow("count run out")
        << u"30"_s << true
        << u"このオークションは既に終了したようです。自動延長や再出品などで継続している場合もありますのでよく確認しましょう。"_s
        << QString();
    QTest::newRow("too small before run out") << u"3"_s << true << tooSmall << QString();
}

void TestAlarmMessage::snooze()
{
    QFETCH(QString, typed);
    QFETCH(bool, runOut);
    QFETCH(QString, message);
    QFETCH(QString, reTime);

    Alarm a;
    const bool saving = a.ts.persistence.save();
    a.alert(7, 180);
    if (!typed.isNull())
        a.get(u"Text1"_s)->setText(typed);
    if (runOut) {
        a.get(u"zanT"_s)->setText(u"1"_s);
        a.ownTick();
    }
    QPointer<QWidget> w = a.window();
    a.click(u"retimer"_s);

    QCOMPARE(a.messages.texts, QStringList { message });
    QCOMPARE(a.ts.store.slotValue(u"reTime"_s, 7), reTime.isNull() ? u""_s : reTime);
    QVERIFY(a.ts.store.isArmed(7)); // a snooze is no cancel
    Alarm::flush();
    QCOMPARE(w.isNull(), !reTime.isNull());
    if (saving && !reTime.isNull())
        QVERIFY(a.ts.dir.read(u"larkvane.ini"_s).contains(Cp932::encode(QString(u"retime7="_s + reTime))));
}

void TestAlarmMessage::snoozeWhileTicksRun_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("reTime7");

    QTest::newRow("a newer alert") << u"alert"_s << u" 90"_s;
    QTest::newRow("an auction's end") << u"end"_s << u" 90"_s;
    QTest::newRow("slot cancelled") << u"cancel"_s << u""_s;
    QTest::newRow("slot given to another item") << u"reuse"_s << u""_s;
}

void TestAlarmMessage::snoozeWhileTicksRun()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, reTime7);

    // The confirmation runs a nested loop; ticks fire inside it.
    Alarm a;
    a.alert(7, 180);
    QPointer<QWidget> first = a.window();
    a.messages.onShow = [&] {
        if (meanwhile == u"alert"_s) {
            a.alert(2, 40, u"新しい品"_s);
        } else if (meanwhile == u"end"_s) {
            a.alert(9, 0);
        } else {
            a.ts.store.setSlotValue(u"TimerText"_s, 7, meanwhile == u"reuse"_s ? u"別の品"_s : u""_s);
            a.ts.store.setSlotValue(u"reTime"_s, 7, u""_s);
        }
        Alarm::flush();
    };
    a.click(u"retimer"_s);

    QCOMPARE(a.ts.store.slotValue(u"reTime"_s, 7), reTime7);
    QCOMPARE(a.messages.lostBoxes, 0);
    Alarm::flush();
    QVERIFY(first.isNull());
    QCOMPARE(a.ts.windows.isOpen(u"frmMessage"_s), meanwhile == u"alert"_s);
    if (meanwhile == u"alert"_s) { // the newer window as the countdown left it
        QCOMPARE(a.ts.store.value(u"Tnum"_s), u"2"_s);
        QCOMPARE(a.get(u"Text1"_s)->text(), u" 20"_s);
        QCOMPARE(a.ts.store.slotValue(u"reTime"_s, 2), u""_s);
    }
}

void TestAlarmMessage::closingStoresPosition_data()
{
    QTest::addColumn<QString>("route");
    for (const QString &route : { u"Command1"_s, u"close box"_s, u"retimer"_s, u"newer alert"_s, u"end"_s })
        QTest::newRow(route.toUtf8()) << route;
}

void TestAlarmMessage::closingStoresPosition()
{
    QFETCH(QString, route);

    Alarm a;
    a.alert(3, 60);
    QCOMPARE(a.window()->pos(), QPoint(0, 0)); // nothing stored yet
    a.window()->move(321, 123);
    QPointer<QWidget> first = a.window();
    if (route == u"close box"_s)
        first->close();
    else if (route == u"newer alert"_s)
        a.alert(5, 60);
    else if (route == u"end"_s)
        a.alert(6, 0);
    else
        a.click(route);

    QVERIFY(first && !first->isVisible() && !(first->windowFlags() & Qt::WindowStaysOnTopHint));
    QCOMPARE(first->pos(), QPoint(321, 123));
    QCOMPARE(a.ts.store.value(u"frmMes_pos_left"_s), u"4815"_s);
    QCOMPARE(a.ts.store.value(u"frmMes_pos_top"_s), u"1845"_s);
    Alarm::flush();
    QVERIFY(first.isNull());
    a.alert(8, 30);
    QCOMPARE(a.window()->pos(), QPoint(321, 123));
}

void TestAlarmMessage::showAuction_data()
{
    QTest::addColumn<QString>("tnum");
    QTest::addColumn<QStringList>("navigated");

    QTest::newRow("the alert's slot") << u"3"_s << QStringList { u"http://x/3"_s };
    QTest::newRow("Tnum read as a number") << u" 10abc"_s << QStringList { u"http://x/10"_s };
    QTest::newRow("no such slot") << u"11"_s << QStringList {};
}

void TestAlarmMessage::showAuction()
{
    QFETCH(QString, tnum);
    QFETCH(QStringList, navigated);

    Alarm a;
    a.ts.store.setSlotValue(u"URL"_s, 10, u"http://x/10"_s);
    a.alert(3, 60);
    a.ts.store.setValue(u"Tnum"_s, tnum);
    QVERIFY(!a.ts.browser.isOpen());
    a.click(u"Command2"_s);
    QCOMPARE(a.ts.browser.shown, 1);
    QCOMPARE(a.ts.browser.navigated, navigated);
    QVERIFY(a.window()->isVisible());
    QVERIFY(a.window()->windowFlags() & Qt::WindowStaysOnTopHint);
}

void TestAlarmMessage::usableWhileWindowModalDialogOpen()
{
    Alarm a;
    QWidget browser;
    browser.show();
    // A settings dialog with an edit not applied yet.
    auto *dialog = new QDialog(&browser);
    dialog->setWindowModality(Qt::WindowModal);
    auto *edit = new QLineEdit(dialog);
    (new QVBoxLayout(dialog))->addWidget(edit);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QTest::keyClicks(edit, u"120"_s);

    a.alert(2, 60);
    QWidget *alert = a.window();
    QVERIFY(QTest::qWaitForWindowExposed(alert));
    // Clicks as the window system delivers them; a blocked window drops them.
    for (const QString &name : { u"Command2"_s, u"Command1"_s }) {
        auto *button = a.get<QPushButton>(name);
        QTest::mouseClick(
            alert->windowHandle(), Qt::LeftButton, {}, button->mapTo(alert, button->rect().center()));
    }
    QCOMPARE(a.ts.browser.navigated, QStringList { u"http://x/2"_s });
    QVERIFY(!a.ts.windows.isOpen(u"frmMessage"_s));
    QVERIFY(dialog->isVisible());
    QCOMPARE(edit->text(), u"120"_s);
}

QTEST_MAIN(TestAlarmMessage)
#include "test_alarm_message.moc"
