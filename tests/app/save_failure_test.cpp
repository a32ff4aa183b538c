// A settings file that cannot be written, as seen by the parts of the program
// that save: each goes on in memory and shows no box of its own (the word to
// the user is the wiring's, once per cause), every failure is logged once,
// and the next save that works writes it all.

#include "auction_timers.h"
#include "file_faults.h"
#include "lifecycle.h"
#include "page_recognizer.h"
#include "registration.h"
#include "test_services.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class SaveFailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changesGoOnWhileTheDiskIsFull_data();
    void changesGoOnWhileTheDiskIsFull();
};

void SaveFailureTest::changesGoOnWhileTheDiskIsFull_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("armed"); // slot 3 afterwards

    QTest::newRow("slot counts to its end") << u"end"_s << QStringList() << false;
    QTest::newRow("registration") << u"register"_s << QStringList { u"壺　のタイマーをスタートしました。"_s }
                                  << true;
    QTest::newRow("exit from the tray") << u"exit"_s << QStringList() << true;
}

void SaveFailureTest::changesGoOnWhileTheDiskIsFull()
{
    QFETCH(QString, action);
    QFETCH(QStringList, messages);
    QFETCH(bool, armed);

    TestServices t;
    StateStore &store = t.store;
    const QByteArray old = "[pref]\r\nINI=30\r\n";
    t.dir.write(u"larkvane.ini"_s, old);
    store.setValue(u"wavfile"_s, u"/sounds/timecall.wav"_s);
    if (action != u"register"_s)
        t.arm(3, 5, u"壺"_s);
    Lifecycle lifecycle(t.services);
    QList<int> quits;
    lifecycle.setQuit([&quits](int code) { quits << code; });

    {
        DiskFullAfter full(0);
        // One failed save, said once with its reason: no tick before the end
        // saves, and nothing retries.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^cannot (write|replace) "_s));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^could not save "_s));
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        if (action == u"end"_s) {
            t.pass(5);
        } else if (action == u"register"_s) {
            PageReading page;
            page.start = u"26/12/01 20:00"_s;
            page.end = u"26/12/11 10:00"_s;
            page.endAt = japanDateTime(QDate(2026, 12, 11), QTime(10, 0));
            Registration(t.services).registerSlot(3, u"壺 - Larkvane"_s, u"http://x/1"_s, &page, nullptr);
        } else {
            lifecycle.exitFromTray();
            QCOMPARE(quits, QList<int> { 0 });
        }
    }
    QCOMPARE(t.messages.texts, messages);
    QCOMPARE(t.timers.timer(3).isArmed(), armed);
    QCOMPARE(t.dir.read(u"larkvane.ini"_s), old);

    QVERIFY(t.persistence.save());
    StateStore later;
    QCOMPARE(Persistence(later, t.dir.path()).restore()[2].title, u"壺"_s);
    QCOMPARE(later.value(u"wavfile"_s), u"/sounds/timecall.wav"_s);
}

QObject *makeSaveFailureTest()
{
    return new SaveFailureTest;
}

#include "save_failure_test.moc"
