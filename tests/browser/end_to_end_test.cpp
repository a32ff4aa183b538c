// From an item page in the real browser to an armed, counting slot.

#include "batch_windows.h"
#include "browser_engine.h"
#include "browser_window.h"
#include "countdown.h"
#include "extension_follower.h"
#include "http_test_server.h"
#include "in_process_link.h"
#include "numeric.h"
#include "page_fetcher.h"
#include "profile_file.h"
#include "test_pages.h"
#include "test_services.h"

#include <QAction>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

using TestPages::todaysPage;

const QString kTodaysUrl = u"http://auctions.yahoo.co.jp/jp/auction/x1000000001"_s;

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

    TestServices ts;
    HttpTestServer server;
    std::unique_ptr<Countdown> countdown;
    std::unique_ptr<NetworkPageFetcher> followFetcher;
    std::unique_ptr<ExtensionFollower> follower;
    // Real ticks still count one step each; the tests that need exact
    // seconds stop the slot's timer and tick by hand.
    qint64 steadyMs = 0;
    std::unique_ptr<InProcessLink> link;

    // Pages of the loopback server are asked for directly or, by a client
    // that sends everything through the proxy, by their whole address.
    void serve(const QString &path, const QByteArray &body, const QByteArray &type)
    {
        server.setPage(path, body, type);
        server.setPage(server.url(path).toString(), body, type);
    }

    BrowserWindow *web() const { return link->browser->window(); }
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
        // The auction host is this server too, as an HTTP proxy for the
        // browser and for the program's own fetches.
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
        // As the service serves it: EUC-JP, the title marker in the title.
        serve(u"/item"_s,
            TestPages::yahooEucPage(
                u"12月 1日 10時 0分"_s, u"12月 8日 12時 5分"_s, u"ノートパソコン - Yahoo!オークション"_s),
            "text/html; charset=EUC-JP");
        countdown = std::make_unique<Countdown>(ts.services, [this] { return steadyMs; });
        connect(&ts.store, &StateStore::tick, countdown.get(), &Countdown::tick);
        followFetcher = std::make_unique<NetworkPageFetcher>();
        follower = std::make_unique<ExtensionFollower>(ts.store, ts.persistence, ts.serviceClock,
            *followFetcher, ts.statusLine, [this] { return steadyMs; });
        countdown->setEndHold([this](int n) { return follower->holdsAtEnd(n); });
        connect(follower.get(), &ExtensionFollower::slotEnded, countdown.get(), &Countdown::endSlot);
        link = std::make_unique<InProcessLink>(ts.services, ts.messages);
        QVERIFY(link->show());
        QVERIFY(web() && web()->engine());
    }

    void itemPageRegistersAndCounts()
    {
        const QString url = server.url(u"/item"_s).toString();
        QVERIFY(loadAndWait(url));
        // The page is read once more by the recognizer's own fetch.
        QTRY_VERIFY_WITH_TIMEOUT(server.count(u"/item"_s) >= 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnutimer1"_s)->isEnabled(), 20000);
        QCOMPARE(ts.store.value(u"tmpsttime"_s), u"26/12/01 10:00"_s);
        QCOMPARE(ts.store.value(u"tmpedtime"_s), u"26/12/08 12:05"_s);

        action(u"mnutimer3"_s)->trigger();
        QTRY_COMPARE(ts.messages.texts, QStringList { u"ノートパソコン　のタイマーをスタートしました。"_s });
        QCOMPARE(ts.store.value(u"TimerText3"_s), u"ノートパソコン"_s);
        QCOMPARE(ts.store.value(u"URL3"_s), url);
        QCOMPARE(ts.store.value(u"starttime3"_s), u"26/12/01 10:00"_s);
        QCOMPARE(ts.store.value(u"EndTime3"_s), u"26/12/08 12:05"_s);
        QCOMPARE(ts.store.value(u"st3"_s), u"0"_s);
        QCOMPARE(ts.store.value(u"ed3"_s), u"300"_s);
        QVERIFY(ts.store.isArmed(3));
        for (int n : { 1, 2, 4, 5, 6, 7, 8, 9, 10 })
            QVERIFY(!ts.store.isArmed(n));

        // The status bar of the open window follows the count, tick by tick.
        const QRegularExpression counting(u"^ﾀｲﾏｰ3: 29[0-9]秒　☆$"_s);
        QTRY_VERIFY_WITH_TIMEOUT(counting.match(ts.statusLine.text()).hasMatch(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(
            web()->findChild<QStatusBar *>(u"stsBar"_s)->currentMessage(), ts.statusLine.text(), 2000);
        ts.store.disarm(3);
    }

    void todaysPageRegistersAndFollowsAnExtension()
    {
        ts.messages.texts.clear();
        server.setPage(kTodaysUrl, todaysPage("2026-12-08T12:05:00+09:00"), "text/html; charset=utf-8");
        QVERIFY(loadAndWait(kTodaysUrl));
        // The program reads the page on its side of the link; the menu it
        // enabled for the page before says nothing yet.
        QTRY_COMPARE_WITH_TIMEOUT(ts.store.value(u"txtURL"_s), kTodaysUrl, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!ts.store.value(u"tmptitle"_s).isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnutimer1"_s)->isEnabled(), 20000);
        QCOMPARE(ts.store.value(u"tmpedtime"_s), u"26/12/08 12:05"_s);

        action(u"mnutimer5"_s)->trigger();
        // The page data's title, not the cut one of the caption.
        QTRY_COMPARE(ts.messages.texts,
            QStringList {
                u"MacBook Air M2 美品 充電回数少なめ 付属品完備　のタイマーをスタートしました。"_s });
        QCOMPARE(ts.store.value(u"EndTime5"_s), u"26/12/08 12:05"_s);
        QCOMPARE(ts.store.value(u"ed5"_s), u"300"_s);
        QVERIFY(ts.store.isArmed(5));

        // The seller's side extends the auction by five minutes; within a
        // minute the slot follows, on disk too.
        server.setPage(kTodaysUrl, todaysPage("2026-12-08T12:10:00+09:00"), "text/html; charset=utf-8");
        ts.clock.advance(61);
        const ProfileFile file(ts.persistence.iniPath());
        QTRY_COMPARE_WITH_TIMEOUT(ts.store.value(u"EndTime5"_s), u"26/12/08 12:10"_s, 20000);
        QCOMPARE(file.read(u"Auction_File"_s, u"end5"_s), u"26/12/08 12:10"_s);
        const double left = numericValue(ts.store.value(u"ed5"_s)) - numericValue(ts.store.value(u"st5"_s));
        QVERIFY2(left > 500 && left <= 540, qPrintable(QString::number(left)));
        QVERIFY(ts.store.isArmed(5));
        ts.store.disarm(5);
    }

    // A bid six seconds before the end moves it a minute on: the slot follows
    // in its last seconds and warns again before the new end. The seconds
    // are ticked by hand, on the test's clocks.
    void extensionInTheLastSecondsAlertsAgain()
    {
        const QString url = u"http://auctions.yahoo.co.jp/jp/auction/x1000000002"_s;
        server.setPage(
            url, todaysPage("2026-12-08T12:00:20+09:00", "x1000000002"), "text/html; charset=utf-8");
        ts.clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        ts.store.setValue(u"infotime"_s, u"10"_s);
        QVERIFY(loadAndWait(url));
        QTRY_VERIFY_WITH_TIMEOUT(ts.store.value(u"tmpedtime"_s) == u"26/12/08 12:00"_s, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnutimer1"_s)->isEnabled(), 20000);
        action(u"mnutimer6"_s)->trigger();
        QTRY_VERIFY(ts.store.isArmed(6));
        QCOMPARE(ts.store.value(u"ed6"_s), u"20"_s);
        // Armed, yet its real timer says nothing: the test ticks it.
        ts.store.timer(6)->blockSignals(true);
        const int alertsBefore = ts.sound.played.size();

        auto second = [&] {
            ts.clock.advance(1);
            steadyMs += 1000;
            Q_EMIT ts.store.tick(6);
            // Each read of the loopback page is answered within this.
            QTest::qWait(30);
        };
        auto left = [&] {
            return int(numericValue(ts.store.value(u"ed6"_s)) - numericValue(ts.store.value(u"st6"_s)));
        };
        while (left() > 6)
            second();
        QCOMPARE(ts.sound.played.size(), alertsBefore + 1);
        server.setPage(
            url, todaysPage("2026-12-08T12:01:20+09:00", "x1000000002"), "text/html; charset=utf-8");
        second();
        QTRY_COMPARE_WITH_TIMEOUT(ts.store.value(u"EndTime6"_s), u"26/12/08 12:01"_s, 5000);
        QCOMPARE(
            ProfileFile(ts.persistence.iniPath()).read(u"Auction_File"_s, u"end6"_s), u"26/12/08 12:01"_s);
        QCOMPARE(left(), 65);
        QVERIFY(ts.store.isArmed(6));

        while (left() > 10)
            second();
        QCOMPARE(ts.sound.played.size(), alertsBefore + 2);
        // At the new end the page says it has passed: the slot ends.
        while (ts.store.isArmed(6) && left() >= 0 && ts.clock.now().time() < QTime(12, 2))
            second();
        QTRY_VERIFY_WITH_TIMEOUT(!ts.store.isArmed(6), 5000);
        QCOMPARE(ts.clock.now().time(), QTime(12, 1, 20));
        ts.store.setValue(u"infotime"_s, QString());
        ts.store.timer(6)->blockSignals(false);
    }

    void localPageDisablesTheMenuAgain()
    {
        QVERIFY(action(u"mnutimer1"_s)->isEnabled());
        const QString local = QUrl::fromLocalFile(ts.dir.filePath(u"html/serch.html"_s)).toString();
        QVERIFY(loadAndWait(local));
        QTRY_VERIFY_WITH_TIMEOUT(!action(u"mnutimer1"_s)->isEnabled(), 5000);
        QCOMPARE(ts.store.value(u"tmpedtime"_s), QString());
    }

    // The page is read as soon as it has arrived, its picture still loading,
    // and its completion does not read it again: the timer menu is set once.
    void timerMenuAsThePageArrives()
    {
        const QString url = u"http://auctions.yahoo.co.jp/jp/auction/x1000000003"_s;
        QByteArray page = todaysPage("2026-12-08T13:30:00+09:00", "x1000000003");
        // Once the picture has come, the page links to another auction.
        page.replace("</body>",
            "<img src=\"/held.png\"><script>addEventListener('load', function () {"
            " var a = document.createElement('a'); a.href = '/jp/auction/x1000000004';"
            " document.body.appendChild(a); });</script></body>");
        server.setPage(url, page, "text/html; charset=utf-8");
        HttpTestServer::Reply picture;
        picture.held = true;
        picture.contentType = "image/png";
        server.setReply(u"http://auctions.yahoo.co.jp/held.png"_s, picture);
        QAction *timer = action(u"mnutimer1"_s);
        QAction *items = action(u"mnuPageItems"_s);
        QVERIFY(!timer->isEnabled() && !items->isEnabled());
        QSignalSpy changes(timer, &QAction::enabledChanged);
        QSignalSpy complete(web()->engine(), &BrowserEngine::documentComplete);

        web()->navigate(url);
        QTRY_VERIFY_WITH_TIMEOUT(timer->isEnabled(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(server.heldCount(), 1, 20000);
        QCOMPARE(complete.count(), 0);
        QCOMPARE(server.count(url), 2);

        server.releaseHeld();
        // The links of the completed page come after its completion: once
        // they have enabled their menu, the program has had the completion.
        QTRY_VERIFY_WITH_TIMEOUT(items->isEnabled(), 20000);
        QCOMPARE(complete.count(), 1);
        QCOMPARE(server.count(url), 2);
        QCOMPARE(changes.count(), 1);
        QVERIFY(timer->isEnabled());
    }

    // A list page read once by the window: its cards give the auctions, and
    // only the one whose card lacks its end is read from its own page.
    void listPageRegistersItsItems()
    {
        ts.clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        ts.messages.texts.clear();
        registerBatchWindows(ts.windows, ts.services, [] { return std::make_unique<NetworkPageFetcher>(); });
        const QString host = u"http://auctions.yahoo.co.jp"_s;
        auto endingAt = [](QTime t) {
            return QByteArray::number(
                QDateTime(QDate(2026, 12, 8), t, Qt::OffsetFromUTC, 9 * 3600).toSecsSinceEpoch());
        };
        auto card = [](const QByteArray &id, const QByteArray &title, const QByteArray &end) -> QByteArray {
            return "<li class=\"Product\"><a class=\"Product__imageLink\" data-auction-id=\"" + id
                + "\" data-auction-title=\"" + title + "\" href=\"/jp/auction/" + id + "\">" + title + "</a>"
                + (end.isEmpty() ? QByteArray()
                                 : "<div class=\"Product__bonus\" data-auction-id=\"" + id
                            + "\" data-auction-endtime=\"" + end + "\"></div>")
                + "</li>";
        };
        server.setPage(host + u"/jp/auction/w2"_s, todaysPage("2026-12-08T12:10:00+09:00", "w2", "インク瓶"));
        server.setPage(host + u"/list"_s,
            "<html><head><title>検索結果</title></head><body><ul class=\"Products__items\">"
                + card("w1", "万年筆", endingAt(QTime(12, 30))) + card("w2", "インク瓶", {})
                + card("w3", "吸取紙", endingAt(QTime(11, 0)))
                + "<li class=\"Product\"><a data-auction-id=\"z5\" data-auction-isflea=\"1\" "
                  "href=\"https://paypayfleamarket.yahoo.co.jp/item/z5\">フリマ</a></li></ul>"
                  "<a href=\"/jp/auction/w4\">閲覧履歴</a></body></html>");
        QVERIFY(loadAndWait(host + u"/list"_s));
        // The page before linked to auctions too: its links must have gone.
        QTRY_COMPARE_WITH_TIMEOUT(link->program->pageLinks().url, host + u"/list"_s, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnuPageItems"_s)->isEnabled(), 20000);
        ts.browser.links = link->program->pageLinks();

        action(u"mnuPageItems"_s)->trigger();
        QTRY_VERIFY(ts.windows.isOpen(u"frmItemList"_s));
        auto *list = ts.windows.find<QWidget>(u"frmItemList"_s);
        QTRY_COMPARE_WITH_TIMEOUT(list->findChild<QPushButton *>(u"cmdCancel"_s)->text(), u"閉じる"_s, 20000);
        auto *items = list->findChild<QTreeWidget *>(u"lstItems"_s);
        QStringList rows;
        for (int i = 0; i < items->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = items->topLevelItem(i);
            rows << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
        }
        QCOMPARE(rows,
            (QStringList { u"吸取紙|26/12/08 11:00|終了時刻を過ぎています"_s, u"インク瓶|26/12/08 12:10|"_s,
                u"万年筆|26/12/08 12:30|"_s }));
        // The browser's load, the read for the timer menu and the window's
        // own read of the list; of the items, only the one the list gives no
        // end for.
        QCOMPARE(server.count(host + u"/list"_s), 3);
        QCOMPARE(server.count(host + u"/jp/auction/w2"_s), 1);
        for (const QString &id : { u"w1"_s, u"w3"_s, u"w4"_s, u"z5"_s })
            QCOMPARE(server.count(host + u"/jp/auction/"_s + id), 0);

        list->findChild<QPushButton *>(u"cmdRegister"_s)->click();
        QCOMPARE(ts.messages.texts, QStringList { u"2 件のタイマーをスタートしました。"_s });
        QCOMPARE(ts.store.slotValue(u"TimerText"_s, 1), u"インク瓶"_s);
        QCOMPARE(ts.store.slotValue(u"ed"_s, 1), u"600"_s);
        QCOMPARE(ts.store.slotValue(u"TimerText"_s, 2), u"万年筆"_s);
        QCOMPARE(ts.store.slotValue(u"URL"_s, 2), host + u"/jp/auction/w1"_s);
        QCOMPARE(ts.store.slotValue(u"starttime"_s, 2), u"N/A"_s);
        QTRY_VERIFY(!ts.windows.isOpen(u"frmItemList"_s));
        ts.store.disarm(1);
        ts.store.disarm(2);
    }

    void cleanupTestCase()
    {
        web()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        link.reset();
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
