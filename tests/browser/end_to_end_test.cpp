// From an item page in the real browser to an armed, counting slot.

#include "browser_engine.h"
#include "browser_host_impl.h"
#include "browser_window.h"
#include "countdown.h"
#include "http_test_server.h"
#include "test_pages.h"
#include "test_services.h"

#include <QAction>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

using namespace Qt::StringLiterals;

class EndToEndTest : public QObject
{
    Q_OBJECT

    TestServices ts;
    HttpTestServer server;
    std::unique_ptr<Countdown> countdown;

    BrowserWindow *web() const { return ts.windows.find<BrowserWindow>(u"frmWeb"_s); }
    QAction *action(const QString &name) const { return web()->findChild<QAction *>(name); }

    bool loadAndWait(const QString &address)
    {
        QSignalSpy spy(web()->engine(), &BrowserEngine::documentComplete);
        web()->navigate(address);
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            for (const QList<QVariant> &args : std::as_const(spy)) {
                if (args.value(1).toString() == address)
                    return true;
            }
            spy.wait(200);
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(server.listen());
        ts.clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        ts.store.setValue(u"boot_dir"_s, ts.dir.path());
        ts.store.setValue(u"wavfile"_s, ts.dir.filePath(u"timecall.wav"_s));
        ts.store.setValue(u"w_width"_s, u"12000"_s);
        ts.store.setValue(u"w_height"_s, u"9000"_s);
        ts.dir.write(
            u"html/serch.html"_s, "<html><head><title>search</title></head><body>search</body></html>");
        // As the service serves it: EUC-JP, the title marker in the title.
        server.setPage(u"/item"_s,
            TestPages::yahooEucPage(
                u"12月 1日 10時 0分"_s, u"12月 8日 12時 5分"_s, u"ノートパソコン - Yahoo!オークション"_s),
            "text/html; charset=EUC-JP");
        registerBrowserWindow(ts.windows, ts.services);
        countdown = std::make_unique<Countdown>(ts.services);
        QVERIFY(ts.windows.open(u"frmWeb"_s));
        QVERIFY(web() && web()->engine());
    }

    void itemPageRegistersAndCounts()
    {
        const QString url = server.url(u"/item"_s).toString();
        QVERIFY(loadAndWait(url));
        // The page is read once more by the recognizer's own fetch.
        QTRY_VERIFY_WITH_TIMEOUT(server.count(u"/item"_s) >= 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnutimer"_s)->isEnabled(), 20000);
        QCOMPARE(ts.store.value(u"tmpsttime"_s), u"26/12/01 10:00"_s);
        QCOMPARE(ts.store.value(u"tmpedtime"_s), u"26/12/08 12:05"_s);

        action(u"mnutimer3"_s)->trigger();
        QCOMPARE(ts.messages.texts, QStringList { u"ノートパソコン　のタイマーをスタートしました。"_s });
        QCOMPARE(ts.store.value(u"TimerText3"_s), u"ノートパソコン"_s);
        QCOMPARE(ts.store.value(u"URL3"_s), url);
        QCOMPARE(ts.store.value(u"starttime3"_s), u"26/12/01 10:00"_s);
        QCOMPARE(ts.store.value(u"EndTime3"_s), u"26/12/08 12:05"_s);
        QCOMPARE(ts.store.value(u"st3"_s), u"0"_s);
        QCOMPARE(ts.store.value(u"ed3"_s), u"300"_s);
        QVERIFY(ts.store.isArmed(3));
        for (int n : { 1, 2, 4, 5, 6, 7, 8, 9, 10 })
            QVERIFY(!ts.store.isArmed(n));

        // The status bar of the open window follows the count.
        countdown->tick(3);
        const QString line = u"ﾀｲﾏｰ3: 299秒　☆"_s;
        QCOMPARE(ts.statusLine.text(), line);
        QCOMPARE(web()->findChild<QStatusBar *>(u"stsBar"_s)->currentMessage(), line);
        ts.store.disarm(3);
    }

    void localPageDisablesTheMenuAgain()
    {
        QVERIFY(action(u"mnutimer"_s)->isEnabled());
        const QString local = QUrl::fromLocalFile(ts.dir.filePath(u"html/serch.html"_s)).toString();
        QVERIFY(loadAndWait(local));
        QTRY_VERIFY_WITH_TIMEOUT(!action(u"mnutimer"_s)->isEnabled(), 5000);
        QCOMPARE(ts.store.value(u"tmpedtime"_s), QString());
    }

    void cleanupTestCase()
    {
        ts.windows.close(u"frmWeb"_s);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
