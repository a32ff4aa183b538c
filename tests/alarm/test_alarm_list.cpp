// The status list, filled from the store and driven through its buttons.

#include "alarm_windows.h"
#include "auction_timers.h"
#include "cp932_codec.h"
#include "test_services.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct List
{
    TestServices ts;

    List()
    {
        registerAlarmWindows(ts.windows, ts.services);
        ts.clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
    }
    ~List() { ts.windows.close(u"frmAlarm"_s), flush(); }
    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Slot n as the file would give it: armed while its end lies ahead.
    void occupy(int n, const QString &start, const QString &end = u"26/12/31 10:00"_s,
        const QString &ownLead = {}, const QString &title = {}, const QString &price = {},
        const QString &bids = {})
    {
        Persistence::Slots slots;
        slots[n - 1] = { title.isEmpty() ? u"品"_s + QString::number(n) : title, start, end,
            u"http://x/"_s + QString::number(n), ownLead, price, bids };
        ts.timers.restore(slots);
    }
    QWidget *open() { return qobject_cast<QWidget *>(ts.windows.open(u"frmAlarm"_s)); }
    template <class T = QLineEdit> T *get(const QString &family, int n = 0) const
    {
        return ts.windows.find<QWidget>(u"frmAlarm"_s)
            ->findChild<T *>(n ? family + QString::number(n) : family);
    }
    QString text(const QString &family, int n) const { return get(family, n)->text(); }
    void click(const QString &family, int n) const
    {
        QTest::mouseClick(get<QPushButton>(family, n), Qt::LeftButton);
    }

    // Row n as one text: its boxes, "y"/"b" for the marks shown, "+" for
    // enabled buttons, "grey" when the three boxes are grey.
    QString row(int n) const
    {
        QStringList parts;
        for (const QString &f : { u"TimerText"_s, u"starttime"_s, u"EndTime"_s, u"Text"_s })
            parts << text(f, n);
        parts << QString(get<QLabel>(u"ic_y"_s, n)->isVisibleTo(get<QWidget>(u"frmAlarm"_s)) ? u"y"_s : u""_s)
                + (get<QLabel>(u"ic_b"_s, n)->isVisibleTo(get<QWidget>(u"frmAlarm"_s)) ? u"b"_s : u""_s);
        parts << QString(get<QPushButton>(u"TimerCut"_s, n)->isEnabled() ? u"+"_s : u""_s)
                + (get<QPushButton>(u"TimerView"_s, n)->isEnabled() ? u"+"_s : u""_s);
        QSet<QRgb> colours;
        for (const QString &f : { u"TimerText"_s, u"starttime"_s, u"EndTime"_s })
            colours << get(f, n)->palette().color(QPalette::Base).rgb();
        parts << (colours == QSet<QRgb> { qRgb(192, 192, 192) } ? u"grey"_s
                : colours == QSet<QRgb> { qRgb(255, 255, 255) } ? u"white"_s
                                                                : u"mixed"_s);
        return parts.join(u'|');
    }
};

} // namespace

class TestAlarmList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layout();
    void fill_data();
    void fill();
    void greyOnlyTurnsWhiteByCancel();
    void priceAndBids();
    void cancel();
    void cancelWhileAnEndClosesTheList();
    void viewAndRefill();
    void clock();
};

void TestAlarmList::layout()
{
    List l;
    QWidget *w = l.open();
    QCOMPARE(w->windowTitle(), u"Larkvane"_s);
    QStringList labels;
    for (QLabel *label : w->findChildren<QLabel *>())
        labels << label->text();
    for (const QString &expected : { u"現在のタイマー使用状況"_s, u"現在時刻 ："_s,
             u"タイマー監視中の商品名"_s, u"ｵｰｸｼｮﾝ登録日時"_s, u"ｵｰｸｼｮﾝ終了時間"_s, u"┏ お知らせ時間(秒前)"_s,
             u"10."_s, u"※背景色が白い項目は現在入札可能商品です。グレーの項目は既に終了している商品です。"_s,
             u"※「N/A」と表示されている部分は、情報が登録されていないか自動認識できなかった項目です。"_s,
             u"※出品者が自動延長の設定をしている時は「ｵｰｸｼｮﾝ終了時間」が随時変わる場合があります。"_s })
        QVERIFY2(labels.contains(expected), qPrintable(expected));
    // The clock filled before the window shows, not zeros for a second.
    QCOMPARE(l.text(u"Nowtime"_s, 0), u"26/12/08 12:00:00"_s);
    QCOMPARE(l.get<QLabel>(u"ic_b"_s, 1)->pixmap().size(), QSize(50, 12));
    QCOMPARE(l.get<QPushButton>(u"cmdClose"_s)->text(), u"閉 じ る"_s);
    QTest::mouseClick(l.get<QPushButton>(u"cmdClose"_s), Qt::LeftButton);
    QVERIFY(!l.ts.windows.isOpen(u"frmAlarm"_s));
}

void TestAlarmList::fill_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("reTime");
    QTest::addColumn<QString>("row");

    const QString later = u"26/12/31 10:00"_s;
    QTest::newRow("N/A is Bidders") << u"N/A"_s << later << u""_s
                                    << u"品5|N/A|26/12/31 10:00|180|b|++|white"_s;
    QTest::newRow("a listing time is Yahoo")
        << u"04/12/20 21:05"_s << later << u""_s << u"品5|04/12/20 21:05|26/12/31 10:00|180|y|++|white"_s;
    QTest::newRow("empty is Yahoo") << u""_s << later << u""_s << u"品5||26/12/31 10:00|180|y|++|white"_s;
    QTest::newRow("n/a is Yahoo") << u"n/a"_s << later << u""_s << u"品5|n/a|26/12/31 10:00|180|y|++|white"_s;
    QTest::newRow("own lead shown as stored")
        << u"N/A"_s << later << u" 90"_s << u"品5|N/A|26/12/31 10:00| 90|b|++|white"_s;
    QTest::newRow("own lead 0") << u"N/A"_s << later << u"0"_s << u"品5|N/A|26/12/31 10:00|0|b|++|white"_s;
    QTest::newRow("ended earlier today is grey")
        << u"N/A"_s << u"26/12/08 11:59"_s << u""_s << u"品5|N/A|26/12/08 11:59|180|b|++|grey"_s;
    // Its timer says: to the second, not by the minute the end text names.
    QTest::newRow("ended this second is grey")
        << u"N/A"_s << u"26/12/08 12:00"_s << u""_s << u"品5|N/A|26/12/08 12:00|180|b|++|grey"_s;
    QTest::newRow("a minute to go is white")
        << u"N/A"_s << u"26/12/08 12:01"_s << u""_s << u"品5|N/A|26/12/08 12:01|180|b|++|white"_s;
    QTest::newRow("markup shown as text")
        << u"<i>N/A</i>"_s << later << u""_s << u"品5|<i>N/A</i>|26/12/31 10:00|180|y|++|white"_s;
}

void TestAlarmList::fill()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, reTime);
    QFETCH(QString, row);

    List l;
    l.ts.store.setValue(u"infotime"_s, u"180"_s);
    l.occupy(5, start, end, reTime);
    QVERIFY(l.open()->isVisible());
    QCOMPARE(l.row(5), row);
    for (int n : { 1, 4, 10 })
        QCOMPARE(l.row(n), u"||||||white"_s);
    QVERIFY(l.get<QTimer>(u"Timer1"_s)->isActive());
}

// As the last read said; blank where no page has said, or the file holds
// no number.
void TestAlarmList::priceAndBids()
{
    List l;
    l.occupy(2, u"N/A"_s, u"26/12/31 10:00"_s, {}, {}, u"1234567"_s, u"0"_s);
    QVERIFY(l.open()->isVisible());
    QCOMPARE(l.text(u"Price"_s, 2), u"1,234,567円"_s);
    QCOMPARE(l.text(u"Bids"_s, 2), u"0件"_s);
    l.occupy(3, u"N/A"_s, u"26/12/31 10:00"_s, {}, {}, u"-5"_s, u"六"_s);
    l.open();
    QCOMPARE(l.text(u"Price"_s, 3) + l.text(u"Bids"_s, 3), QString());
}

void TestAlarmList::greyOnlyTurnsWhiteByCancel()
{
    List l;
    l.occupy(2, u"N/A"_s, u"26/12/08 11:00"_s);
    l.open();
    QVERIFY(l.row(2).endsWith(u"|grey"_s));
    l.occupy(2, u"N/A"_s, u"27/12/08 11:00"_s);
    l.open();
    QVERIFY(l.row(2).endsWith(u"|grey"_s)); // a refill never whitens
    l.click(u"TimerCut"_s, 2);
    QCOMPARE(l.row(2), u"||||||white"_s);

    l.occupy(2, u"N/A"_s, u"26/12/08 11:00"_s);
    l.open();
    l.ts.windows.close(u"frmAlarm"_s);
    List::flush();
    l.occupy(2, u"N/A"_s, u"27/12/08 11:00"_s);
    l.open();
    QVERIFY(l.row(2).endsWith(u"|white"_s)); // opened anew
}

void TestAlarmList::cancel()
{
    List l;
    const bool saving = l.ts.persistence.save();
    for (int n : { 2, 3, 5 })
        l.ts.arm(n, 5000);
    l.ts.timers.setOwnLead(3, l.ts.timers.timer(3).generation(), u"4997"_s);
    l.ts.pass();
    QCOMPARE(l.ts.statusLine.text(), u"ﾀｲﾏｰ2: 4999秒　☆ﾀｲﾏｰ3: 4999秒　☆ﾀｲﾏｰ5: 4999秒　☆"_s);
    l.open();

    l.click(u"TimerCut"_s, 3);
    QCOMPARE(l.ts.messages.texts, QStringList { u"指定のタイマーを解除しました。"_s });
    QCOMPARE(l.row(3), u"||||||white"_s);
    QCOMPARE(l.ts.timers.timer(3).record(), SlotRecord());
    QVERIFY(
        l.ts.timers.timer(3).isFree() && l.ts.timers.timer(2).isArmed() && l.ts.timers.timer(5).isArmed());
    QCOMPARE(l.ts.statusLine.text(), u""_s);
    QVERIFY(l.row(2).startsWith(u"T|"_s));
    if (saving)
        QVERIFY(l.ts.dir.read(u"larkvane.ini"_s).contains("data3=\n")
            || l.ts.dir.read(u"larkvane.ini"_s).contains("data3=\r\n"));

    // Its lead would be now: a cancelled slot stays silent.
    l.ts.pass(2);
    QCOMPARE(l.ts.statusLine.text(), u"ﾀｲﾏｰ2: 4997秒　☆ﾀｲﾏｰ5: 4997秒　☆"_s);
    QVERIFY(!l.ts.windows.find(u"frmMessage"_s));
}

void TestAlarmList::cancelWhileAnEndClosesTheList()
{
    List l;
    l.occupy(1, u""_s);
    l.ts.arm(2, 1);
    QPointer<QWidget> w = l.open();
    l.ts.messages.onShow = [&](const QString &) {
        l.ts.pass();
        List::flush();
        QVERIFY(w && !w->isVisible()); // hidden, kept while its box is up
    };
    l.click(u"TimerCut"_s, 1);
    QVERIFY(!l.ts.windows.isOpen(u"frmAlarm"_s));
    List::flush();
    QVERIFY(w.isNull());
}

void TestAlarmList::viewAndRefill()
{
    List l;
    QWidget *first = l.open();
    l.occupy(7, u"N/A"_s, u"26/12/31 10:00"_s, {},
        u"【新品未使用】SEIKO セイコー プロスペックス ダイバースキューバ 腕時計 SBDC101"_s);
    QCOMPARE(l.open(), first);
    QVERIFY(l.row(7).endsWith(u"|b|++|white"_s));
    QCOMPARE(l.get(u"TimerText"_s, 7)->cursorPosition(), 0); // the title's beginning in view
    l.click(u"TimerView"_s, 7);
    QCOMPARE(l.ts.browser.navigated, QStringList { u"http://x/7"_s });
    QCOMPARE(l.ts.browser.shown, 0);
}

void TestAlarmList::clock()
{
    // Japan time from the clock seam in the program's own form, whatever
    // this machine's zone and locale.
    List l;
    l.open();
    l.ts.clock.set(QDate(2026, 12, 8), QTime(21, 34, 56));
    QMetaObject::invokeMethod(l.get<QTimer>(u"Timer1"_s), "timeout");
    QCOMPARE(l.text(u"Nowtime"_s, 0), u"26/12/08 21:34:56"_s);
}

QTEST_MAIN(TestAlarmList)
#include "test_alarm_list.moc"
