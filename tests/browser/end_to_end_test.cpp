// From an item page in the real browser to an armed, counting slot, through
// the program's own wiring on driven clocks.

#include "auction_timers.h"
#include "browser_engine.h"
#include "browser_window.h"
#include "http_test_server.h"
#include "in_process_link.h"
#include "page_fetcher.h"
#include "profile_file.h"
#include "program.h"
#include "settings_fields.h"
#include "temp_work_dir.h"
#include "test_pages.h"
#include "test_platform.h"

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

const QString kItemUrl = u"http://auctions.yahoo.co.jp/item"_s;
const QString kTodaysUrl = u"http://auctions.yahoo.co.jp/jp/auction/x1000000001"_s;

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

    TempWorkDir dir;
    // The seconds go on when the test says: the timers wake on real timers,
    // and find nothing due.
    TestPlatform machine;
    FixedClock &clock = machine.clock;
    qint64 &steadyMs = machine.steadyMs;
    MessageRecorder &messages = machine.messages;
    SoundRecorder &sound = machine.sound;
    FakeBrowserHost &browser = machine.browser;
    NotificationRecorder &notifier = machine.notifier;
    std::unique_ptr<Program> program;
    HttpTestServer server;
    std::unique_ptr<InProcessLink> link;

    StateStore &store() const { return program->store(); }
    AuctionTimers &timers() const { return program->timers(); }
    // One second on every clock; a read of the loopback page it starts is
    // answered within the wait.
    void second()
    {
        clock.advance(1);
        steadyMs += 1000;
        timers().runDue();
        QTest::qWait(30);
    }

    BrowserWindow *web() const { return link->browser->window(); }
    QAction *action(const QString &name) const { return web()->findChild<QAction *>(name); }

    // The program has read the page shown, and found the item `title` (as the
    // page data gives it) ending at `end`; the window's timer menu then says so.
    bool readAs(const QString &end, const QString &title)
    {
        const auto &reading = link->program->pageReading();
        return QTest::qWaitFor(
                   [&] { return reading && reading->end == end && reading->title == title; }, 20000)
            && QTest::qWaitFor([&] { return action(u"mnutimer1"_s)->isEnabled(); }, 5000);
    }

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
        program = std::make_unique<Program>(
            machine.platform([] { return std::make_unique<NetworkPageFetcher>(); }), dir.path());
        program->restore();
        store().setValue(Setting::kBrowserWidth, u"12000"_s);
        store().setValue(Setting::kBrowserHeight, u"9000"_s);
        dir.write(u"html/serch.html"_s, "<html><head><title>search</title></head><body>search</body></html>");
        // The auction host is this server too, as an HTTP proxy for the
        // browser and for the program's own fetches.
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
        // As the service serves it: EUC-JP, the title marker in the title.
        server.setPage(kItemUrl,
            TestPages::yahooEucPage(
                u"12月 1日 10時 0分"_s, u"12月 8日 12時 5分"_s, u"ノートパソコン - Yahoo!オークション"_s),
            "text/html; charset=EUC-JP");
        link = std::make_unique<InProcessLink>(program->services(), messages);
        QVERIFY(link->show());
        QVERIFY(web() && web()->engine());
    }

    void itemPageRegistersAndCounts()
    {
        const QString url = kItemUrl;
        QVERIFY(loadAndWait(url));
        // The page is read once more by the recognizer's own fetch.
        QTRY_VERIFY_WITH_TIMEOUT(server.count(url) >= 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(action(u"mnutimer1"_s)->isEnabled(), 20000);

        action(u"mnutimer3"_s)->trigger();
        QTRY_COMPARE(messages.texts, QStringList { u"ノートパソコン　のタイマーをスタートしました。"_s });
        const AuctionTimer &t = timers().timer(3);
        QCOMPARE(t.record(),
            (SlotRecord { u"ノートパソコン"_s, u"26/12/01 10:00"_s, u"26/12/08 12:05"_s, url, QString() }));
        QCOMPARE(t.secondsLeft(), 300);
        QVERIFY(t.isArmed());
        for (int n : { 1, 2, 4, 5, 6, 7, 8, 9, 10 })
            QVERIFY(!timers().timer(n).isArmed());

        // The status bar of the open window follows the count, second by second.
        second();
        second();
        QCOMPARE(program->statusLine().text(), u"ﾀｲﾏｰ3: 298秒　☆"_s);
        QTRY_COMPARE_WITH_TIMEOUT(web()->findChild<QStatusBar *>(u"stsBar"_s)->currentMessage(),
            program->statusLine().text(), 2000);
        timers().clear(3);
    }

    void todaysPageRegistersAndFollowsAnExtension()
    {
        messages.texts.clear();
        clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        server.setPage(kTodaysUrl, todaysPage("2026-12-08T12:05:00+09:00"), "text/html; charset=utf-8");
        QVERIFY(loadAndWait(kTodaysUrl));
        // The program reads the page on its side of the link.
        QVERIFY(readAs(u"26/12/08 12:05"_s, u"MacBook Air M2 美品 充電回数少なめ 付属品完備"_s));

        action(u"mnutimer5"_s)->trigger();
        // The page data's title, not the cut one of the caption.
        QTRY_COMPARE(messages.texts,
            QStringList {
                u"MacBook Air M2 美品 充電回数少なめ 付属品完備　のタイマーをスタートしました。"_s });
        const AuctionTimer &t = timers().timer(5);
        QCOMPARE(t.endText(), u"26/12/08 12:05"_s);
        QCOMPARE(t.secondsLeft(), 300);

        // The seller's side extends the auction by five minutes; at the next
        // read (its first second, while the service's clock is not known)
        // the slot follows, on disk too.
        server.setPage(kTodaysUrl, todaysPage("2026-12-08T12:10:00+09:00"), "text/html; charset=utf-8");
        while (t.endText() == u"26/12/08 12:05"_s && t.secondsLeft() > 200)
            second();
        QCOMPARE(t.endText(), u"26/12/08 12:10"_s);
        QCOMPARE(ProfileFile(program->persistence().iniPath()).read(u"Auction_File"_s, u"end5"_s),
            u"26/12/08 12:10"_s);
        QCOMPARE(t.secondsLeft(), clock.now().secsTo(japanDateTime(QDate(2026, 12, 8), QTime(12, 10))));
        QVERIFY(t.isArmed());
        QCOMPARE(notifier.notices, QStringList { u"終了時間が延長されました（26/12/08 12:10）"_s });
        timers().clear(5);
    }

    // A bid six seconds before the end moves it a minute on: the slot follows
    // in its last seconds and warns again before the new end. The seconds
    // are ticked by hand, on the test's clocks.
    void extensionInTheLastSecondsAlertsAgain()
    {
        const QString url = u"http://auctions.yahoo.co.jp/jp/auction/x1000000002"_s;
        server.setPage(
            url, todaysPage("2026-12-08T12:00:20+09:00", "x1000000002"), "text/html; charset=utf-8");
        clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        store().setValue(u"infotime"_s, u"10"_s);
        QVERIFY(loadAndWait(url));
        QVERIFY(readAs(u"26/12/08 12:00"_s, u"MacBook Air M2 美品 充電回数少なめ 付属品完備"_s));
        action(u"mnutimer6"_s)->trigger();
        const AuctionTimer &t = timers().timer(6);
        QTRY_VERIFY(t.isArmed());
        QCOMPARE(t.secondsLeft(), 20);
        const qsizetype alertsBefore = sound.played.size();

        while (t.secondsLeft() > 6)
            second();
        QCOMPARE(sound.played.size(), alertsBefore + 1);
        server.setPage(
            url, todaysPage("2026-12-08T12:01:20+09:00", "x1000000002"), "text/html; charset=utf-8");
        second();
        QTRY_COMPARE_WITH_TIMEOUT(t.endText(), u"26/12/08 12:01"_s, 5000);
        QCOMPARE(ProfileFile(program->persistence().iniPath()).read(u"Auction_File"_s, u"end6"_s),
            u"26/12/08 12:01"_s);
        QCOMPARE(t.secondsLeft(), 65);
        QVERIFY(t.isArmed());

        while (t.secondsLeft() > 10)
            second();
        QCOMPARE(sound.played.size(), alertsBefore + 2);
        // At the new end the page says it has passed: the slot ends.
        while (t.isArmed() && clock.now().time() < QTime(12, 2))
            second();
        QTRY_VERIFY_WITH_TIMEOUT(t.hasEnded(), 5000);
        QCOMPARE(clock.now().time(), QTime(12, 1, 20));
        store().setValue(u"infotime"_s, QString());
    }

    void localPageDisablesTheMenuAgain()
    {
        QVERIFY(action(u"mnutimer1"_s)->isEnabled());
        const QString local = QUrl::fromLocalFile(dir.filePath(u"html/serch.html"_s)).toString();
        QVERIFY(loadAndWait(local));
        QTRY_VERIFY_WITH_TIMEOUT(!action(u"mnutimer1"_s)->isEnabled(), 5000);
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
        clock.set(QDate(2026, 12, 8), QTime(12, 0, 0));
        messages.texts.clear();
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
        browser.links = link->program->pageLinks();

        action(u"mnuPageItems"_s)->trigger();
        QTRY_VERIFY(program->windows().isOpen(u"frmItemList"_s));
        auto *list = program->windows().find<QWidget>(u"frmItemList"_s);
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
        QCOMPARE(messages.texts, QStringList { u"2 件のタイマーをスタートしました。"_s });
        QCOMPARE(timers().timer(1).item().title, u"インク瓶"_s);
        QCOMPARE(timers().timer(1).secondsLeft(), 600);
        QCOMPARE(timers().timer(2).item().title, u"万年筆"_s);
        QCOMPARE(timers().timer(2).item().url, host + u"/jp/auction/w1"_s);
        QCOMPARE(timers().timer(2).item().start, u"N/A"_s);
        QTRY_VERIFY(!program->windows().isOpen(u"frmItemList"_s));
        timers().clear(1);
        timers().clear(2);
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
