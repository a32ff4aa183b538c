// The alert window as its timer opens it, driven through its controls.

#include "alarm_windows.h"
#include "auction_timers.h"
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
        ts.statusLine, ts.browser, ts.files, ts.timers };
    NotificationRecorder notifier;

    Alarm() { registerAlarmWindows(ts.windows, services, &notifier); }
    ~Alarm() { ts.windows.close(u"frmMessage"_s), flush(); }
    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Slot n alerts a second from now with the given lead. An item on the
    // web waits at 0 for its page; a local one ends there.
    void alert(int n, int lead, const QString &title = u"品物"_s, QString url = {})
    {
        if (url.isEmpty())
            url = u"http://x/"_s + QString::number(n);
        ts.store.setValue(u"infotime"_s, QString::number(lead));
        ts.arm(n, lead + 1, title, url);
        ts.pass();
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

// The alert is also the desktop's notification, one per slot; its action
// does what the window's button does.
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
    // Only its own: the older alert's notification stays, and still shows
    // its own item.
    QCOMPARE(a.notifier.withdrawn, 1);
    QCOMPARE(a.notifier.shown.keys(), QList<int> { 2 });
    a.notifier.shown[2]();
    QCOMPARE(a.ts.browser.navigated, (QStringList { u"http://x/5"_s, u"http://x/2"_s }));
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
    QStringList buttons;
    for (const QString &name : { u"retimer"_s, u"Command2"_s, u"Command1"_s })
        buttons << a.get<QPushButton>(name)->text();
    QCOMPARE(buttons, (QStringList { u"秒　で再設定する"_s, u"このｵｰｸｼｮﾝを表示"_s, u"閉じる"_s }));
    QVERIFY(a.get<QTimer>(u"Timer1"_s)->isActive());
}

void TestAlarmMessage::ownCount_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("label2");

    QTest::newRow("one second off") << 1 << u"タイマーの残りは  179秒です。"_s;
    QTest::newRow("at 0 waiting for the page, two blanks") << 200 << u"タイマーの残りは  0秒です。"_s;
}

// The window shows its timer's count.
void TestAlarmMessage::ownCount()
{
    QFETCH(int, seconds);
    QFETCH(QString, label2);

    Alarm a;
    a.alert(1, 180);
    QCOMPARE(a.get<QLabel>(u"Label2"_s)->text(), u""_s);
    a.ts.pass(seconds);
    a.ownTick();
    QCOMPARE(a.get<QLabel>(u"Label2"_s)->text(), label2);
    QVERIFY(a.window()->isVisible());
}

void TestAlarmMessage::snooze_data()
{
    QTest::addColumn<QString>("typed"); // null: what the alert offered
    QTest::addColumn<bool>("runOut"); // the timer's count reached 0
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
    // The page said the end moved on while the count stood at 0.
    QTest::newRow("after an extension") << u"30"_s << true << confirm.arg(u"30"_s) << u"30"_s;
}

void TestAlarmMessage::snooze()
{
    QFETCH(QString, typed);
    QFETCH(bool, runOut);
    QFETCH(QString, message);
    QFETCH(QString, reTime);

    Alarm a;
    const bool saving = a.ts.persistence.save();
    a.alert(7, 180, u"品物"_s, u"https://auctions.yahoo.co.jp/jp/auction/x7"_s);
    if (!typed.isNull())
        a.get(u"Text1"_s)->setText(typed);
    if (runOut) {
        a.ts.pass(180);
        if (QTest::currentDataTag() == QByteArray("after an extension"))
            a.ts.fetcher.answer(FakePageFetcher::page(
                "<script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
                "{\"initialState\":{\"item\":{\"detail\":{\"item\":{\"auctionId\":\"x7\",\"title\":"
                "\"品物\",\"endTime\":\"2026-12-08T12:09:00+09:00\",\"status\":\"open\"}}}}}}}</script>"));
        a.ownTick();
    }
    QPointer<QWidget> w = a.window();
    a.click(u"retimer"_s);

    QCOMPARE(a.messages.texts, QStringList { message });
    QCOMPARE(a.ts.timers.timer(7).ownLead(), reTime.isNull() ? u""_s : reTime);
    QVERIFY(a.ts.timers.timer(7).isArmed()); // a snooze is no cancel
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
        if (meanwhile == u"alert"_s)
            a.alert(2, 40, u"新しい品"_s);
        else if (meanwhile == u"end"_s)
            a.alert(9, 0, u"品物"_s, u"file:///x/9"_s);
        else if (meanwhile == u"reuse"_s)
            a.ts.arm(7, 500, u"別の品"_s);
        else
            a.ts.timers.clear(7);
        Alarm::flush();
    };
    a.click(u"retimer"_s);

    QCOMPARE(a.ts.timers.timer(7).ownLead(), reTime7);
    QCOMPARE(a.messages.lostBoxes, 0);
    Alarm::flush();
    QVERIFY(first.isNull());
    QCOMPARE(a.ts.windows.isOpen(u"frmMessage"_s), meanwhile == u"alert"_s);
    if (meanwhile == u"alert"_s) { // the newer window as its alert left it
        QCOMPARE(a.get(u"Text1"_s)->text(), u" 20"_s);
        QCOMPARE(a.ts.timers.timer(2).ownLead(), u""_s);
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
        a.alert(6, 0, u"品物"_s, u"file:///x/6"_s);
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
    QTest::addColumn<bool>("cleared");
    QTest::newRow("the alert's slot") << false;
    QTest::newRow("its item, the slot cleared meanwhile") << true;
}

void TestAlarmMessage::showAuction()
{
    QFETCH(bool, cleared);
    Alarm a;
    a.alert(3, 60);
    if (cleared)
        a.ts.timers.clear(3);
    QVERIFY(!a.ts.browser.isOpen());
    a.click(u"Command2"_s);
    QCOMPARE(a.ts.browser.shown, 1);
    QCOMPARE(a.ts.browser.navigated, QStringList { u"http://x/3"_s });
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
