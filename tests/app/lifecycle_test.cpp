#include "lifecycle.h"
#include "profile_file.h"
#include "recording_window.h"
#include "test_services.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The file checks need the real settings writer; until it is built, the
// order of closing is all that can be checked.
bool settingsAreWritten()
{
    QTemporaryDir dir;
    StateStore store;
    Persistence persistence(store, dir.path());
    return persistence.save() && QFile::exists(persistence.iniPath());
}

const QString kIconRemoved = u"(icon removed)"_s;

} // namespace

class LifecycleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { deleteAllWindows(); }
    void exitClosesInOrder_data();
    void exitClosesInOrder();
    void exitKeepsWhatWindowsStoreOnClosing_data();
    void exitKeepsWhatWindowsStoreOnClosing();
    void exitRunsOnce();
    void exitBeforeTheMainLoopEndsIt();
};

void LifecycleTest::exitClosesInOrder_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<QStringList>("expected");

    const QStringList all { u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmMessage"_s,
        u"frmbookmark"_s, u"frmEnding"_s };
    QTest::newRow("tray exit, every window open")
        << false << QStringList(all.mid(0, 6))
        << QStringList { u"frmWeb"_s, u"(icon removed)"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s,
               u"frmbookmark"_s, u"frmMessage"_s };
    QTest::newRow("confirmed exit, every window open")
        << true << all
        << QStringList { u"frmEnding"_s, u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s,
               u"frmMessage"_s, u"frmbookmark"_s, u"(icon removed)"_s };
    QTest::newRow("tray exit, browser window closed")
        << false << QStringList { u"frmMessage"_s, u"frmAlarm"_s }
        << QStringList { u"(icon removed)"_s, u"frmAlarm"_s, u"frmMessage"_s };
    QTest::newRow("confirmed exit, nothing else open")
        << true << QStringList { u"frmEnding"_s } << QStringList { u"frmEnding"_s, u"(icon removed)"_s };
    QTest::newRow("tray exit, nothing open") << false << QStringList() << QStringList { u"(icon removed)"_s };
}

void LifecycleTest::exitClosesInOrder()
{
    QFETCH(bool, confirmed);
    QFETCH(QStringList, open);
    QFETCH(QStringList, expected);

    TestServices t;
    QStringList log;
    for (const QString &name : { u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmMessage"_s,
             u"frmbookmark"_s, u"frmEnding"_s, u"frmTask"_s })
        registerRecording(t.windows, name, log);
    for (const QString &name : open)
        QVERIFY(t.windows.open(name));

    Lifecycle lifecycle(t.services);
    lifecycle.setTrayRemover([&log] { log << kIconRemoved; });
    QList<int> quits;
    lifecycle.setQuit([&](int code) {
        log << u"(quit)"_s;
        quits << code;
    });

    if (confirmed)
        lifecycle.exitConfirmed();
    else
        lifecycle.exitFromTray();

    QCOMPARE(log, expected + QStringList { u"(quit)"_s });
    QCOMPARE(quits, QList<int> { 0 });
    QVERIFY(lifecycle.hasClosed());
    for (const QString &name : open)
        QVERIFY2(!t.windows.isOpen(name), qPrintable(name));
}

void LifecycleTest::exitKeepsWhatWindowsStoreOnClosing_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("alertTop");

    // The alert window closes after the file is written on the tray's exit,
    // before it on the confirmed one.
    QTest::newRow("tray exit: alert position of its last close") << false << u"1110"_s;
    QTest::newRow("confirmed exit: alert position at exit") << true << u"2220"_s;
}

void LifecycleTest::exitKeepsWhatWindowsStoreOnClosing()
{
    QFETCH(bool, confirmed);
    QFETCH(QString, alertTop);
    if (!settingsAreWritten())
        QSKIP("this build does not write the settings file yet");

    TestServices t;
    StateStore &store = t.store;
    store.setValue(u"frmMes_pos_top"_s, u"1110"_s);
    store.setValue(u"x_pos"_s, u"100"_s);
    Persistence::Slots slots;
    slots[3] = { u"茶碗"_s, {}, u"30/01/02 03:04"_s, {}, {} };
    t.timers.restore(slots);
    QStringList log;
    registerRecording(t.windows, u"frmWeb"_s, log, [&store] {
        store.setValue(u"x_pos"_s, u"1500"_s);
        store.setValue(u"w_width"_s, u"9000"_s);
    });
    registerRecording(
        t.windows, u"frmMessage"_s, log, [&store] { store.setValue(u"frmMes_pos_top"_s, u"2220"_s); });
    t.windows.open(u"frmWeb"_s);
    t.windows.open(u"frmMessage"_s);

    Lifecycle lifecycle(t.services);
    QByteArray fileWhenIconRemoved;
    lifecycle.setTrayRemover([&] { fileWhenIconRemoved = t.dir.read(u"larkvane.ini"_s); });
    lifecycle.setQuit([](int) {});
    if (confirmed)
        lifecycle.exitConfirmed();
    else
        lifecycle.exitFromTray();

    const QByteArray file = t.dir.read(u"larkvane.ini"_s);
    QVERIFY2(!fileWhenIconRemoved.isEmpty(), "the file is written before the icon goes");
    QCOMPARE(file, fileWhenIconRemoved);
    ProfileFile ini(t.dir.filePath(u"larkvane.ini"_s));
    QCOMPARE(ini.read(u"pref"_s, u"x_pos"_s), u"1500"_s);
    QCOMPARE(ini.read(u"pref"_s, u"width"_s), u"9000"_s);
    QCOMPARE(ini.read(u"pref"_s, u"Mes_pos1"_s), alertTop);
    QCOMPARE(ini.read(u"Auction_File"_s, u"data4"_s), u"茶碗"_s);
    QCOMPARE(ini.read(u"Auction_File"_s, u"end4"_s), u"30/01/02 03:04"_s);
}

void LifecycleTest::exitRunsOnce()
{
    // A signal or the session's end may arrive while the exit runs, or after
    // the store has been closed by a quit from elsewhere.
    TestServices t;
    QStringList log;
    registerRecording(t.windows, u"frmWeb"_s, log);
    registerRecording(t.windows, u"frmMessage"_s, log);
    t.windows.open(u"frmWeb"_s);
    t.windows.open(u"frmMessage"_s);

    Lifecycle lifecycle(t.services);
    int removed = 0;
    int quits = 0;
    lifecycle.setTrayRemover([&] {
        ++removed;
        lifecycle.exitFromTray();
        lifecycle.exitConfirmed();
    });
    lifecycle.setQuit([&](int) { ++quits; });

    lifecycle.exitConfirmed();
    lifecycle.exitFromTray();
    lifecycle.closeStore();
    QCOMPARE(removed, 1);
    QCOMPARE(quits, 1);
    QCOMPARE(log, (QStringList { u"frmWeb"_s, u"frmMessage"_s }));

    // A quit that something else started closes the store without quitting
    // again; a later exit request still ends the process.
    Lifecycle other(t.services);
    int otherQuits = 0;
    other.setQuit([&](int) { ++otherQuits; });
    other.closeStore();
    QCOMPARE(otherQuits, 0);
    other.exitFromTray();
    QCOMPARE(otherQuits, 1);
}

void LifecycleTest::exitBeforeTheMainLoopEndsIt()
{
    TestServices t;
    Lifecycle lifecycle(t.services);
    lifecycle.exitFromTray(); // as from a box's loop during start-up
    QTimer stuck;
    stuck.setSingleShot(true);
    connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    stuck.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
}

#include "lifecycle_test.moc"
QObject *makeLifecycleTest()
{
    return new LifecycleTest;
}
