// Registering many items at once: from the links of a list page, and from an
// address or auction id typed in a box.

#include "address_dialog.h"
#include "fake_page_fetcher.h"
#include "item_links.h"
#include "item_list_window.h"
#include "test_pages.h"
#include "test_services.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kItem = u"https://auctions.yahoo.co.jp/jp/auction/"_s;

QByteArray endingAt(int minutes)
{
    return QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::OffsetFromUTC, 9 * 3600)
        .addSecs(minutes * 60)
        .toString(Qt::ISODate)
        .toUtf8();
}

// A row as the list shows it: title | end | state | check ("" for none).
QString rowText(const QTreeWidgetItem *row)
{
    const QVariant check = row->data(0, Qt::CheckStateRole);
    return row->text(0) + u'|' + row->text(1) + u'|' + row->text(2) + u'|'
        + (check.isValid() ? (check.toInt() == Qt::Checked ? u"x"_s : u"o"_s) : QString());
}

} // namespace

class BatchTest : public QObject
{
    Q_OBJECT

    struct List
    {
        TestServices t;
        FakePageFetcher *fetcher = nullptr;
        ItemListWindow *window = nullptr;

        explicit List(const PageLinks &page)
        {
            t.store.setValue(u"wavfile"_s, u"timecall.wav"_s);
            auto f = std::make_unique<FakePageFetcher>();
            fetcher = f.get();
            window = new ItemListWindow(t.services, std::move(f), nullptr);
            window->show();
            window->listPage(page);
        }
        ~List() { delete window; }
        QTreeWidget *list() const { return window->findChild<QTreeWidget *>(u"lstItems"_s); }
        QPushButton *button(const QString &name) const { return window->findChild<QPushButton *>(name); }
        QStringList rows() const
        {
            QStringList seen;
            for (int i = 0; i < list()->topLevelItemCount(); ++i)
                seen << rowText(list()->topLevelItem(i));
            return seen;
        }
        int inFlight() const
        {
            return int(std::count_if(fetcher->requests.cbegin(), fetcher->requests.cend(),
                [](const FakePageFetcher::Request &r) { return r.done && !r.cancelled; }));
        }
    };

private Q_SLOTS:
    void onlyItemAuctionsEachOnce()
    {
        const QStringList links {
            kItem + u"a1?rcmd=top&slot=2#photo"_s, // the recommendation block
            u"https://page.auctions.yahoo.co.jp/jp/auction/b2"_s,
            kItem + u"a1"_s, // its title, after its picture
            u"https://auctions.yahoo.co.jp/jp/show/qa?aID=c3"_s,
            u"https://auctions.yahoo.co.jp/search/search?p=c3"_s,
            u"https://buyee.jp/item/jdirectitems/auction/d4"_s,
            u"https://auctions.yahoo.co.jp.example.net/jp/auction/e5"_s,
            u"javascript:void(0)"_s,
            kItem + u"f6/"_s,
        };
        QList<LinkedAuction> expected { { u"a1"_s, QUrl(kItem + u"a1"_s) },
            { u"b2"_s, QUrl(u"https://page.auctions.yahoo.co.jp/jp/auction/b2"_s) },
            { u"f6"_s, QUrl(kItem + u"f6"_s) } };
        QCOMPARE(linkedAuctions(links), expected);
    }

    void watchListLoginWall()
    {
        const QUrl login(u"https://login.yahoo.co.jp/config/login?.src=auc&.done="
                         "https%3A%2F%2Fauctions.yahoo.co.jp%2Fmy%2Fwatchlist%3Fwatchclosed%3D0"_s);
        QVERIFY(isWatchListLoginWall(login, true));
        QVERIFY(
            isWatchListLoginWall(QUrl(u"https://auctions.yahoo.co.jp/my/watchlist?watchclosed=0"_s), true));
        // Logged in: the same address with the list, no password asked.
        QVERIFY(
            !isWatchListLoginWall(QUrl(u"https://auctions.yahoo.co.jp/my/watchlist?watchclosed=0"_s), false));
        QVERIFY(!isWatchListLoginWall(QUrl(u"https://login.yahoo.co.jp/config/login?.done=/"_s), true));
    }

    void typedAddresses_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("bare id") << u"x1234"_s << kItem + u"x1234"_s;
        QTest::newRow("id from an input method") << u"　ｘ１２３４ "_s << kItem + u"x1234"_s;
        QTest::newRow("item address") << u"https://page.auctions.yahoo.co.jp/jp/auction/x1?a=1"_s
                                      << u"https://page.auctions.yahoo.co.jp/jp/auction/x1?a=1"_s;
        QTest::newRow("address without scheme")
            << u"auctions.yahoo.co.jp/jp/auction/x1"_s << u"http://auctions.yahoo.co.jp/jp/auction/x1"_s;
        QTest::newRow("id with a blank") << u"x12 34"_s << QString();
        QTest::newRow("not the web") << u"ftp://auctions.yahoo.co.jp/x"_s << QString();
        QTest::newRow("words") << u"万年筆"_s << QString();
        QTest::newRow("nothing") << u"  "_s << QString();
    }
    void typedAddresses()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(typedAuctionAddress(typed).toString(), address);
    }

    // Sixty linked, fifty read, four at a time; soonest end first, what cannot
    // be registered greyed with why; more checked than free slots fit.
    void listReadsAndRegistersIntoFreeSlots()
    {
        PageLinks page { u"https://auctions.yahoo.co.jp/search/search?p=pen"_s, {}, false };
        for (int i = 0; i < 60; ++i)
            page.links << kItem + u"i"_s + QString::number(i);
        List l(page);
        for (int n = 1; n <= 7; ++n)
            l.t.arm(n, 7200, u"busy"_s, n == 1 ? kItem + u"i40"_s : u"file:///busy"_s);
        QVERIFY(l.window->findChild<QLabel *>(u"lblHeading"_s)->text().contains(u"先頭の 50 件"_s));

        int most = 0;
        for (qsizetype next = 0; next < l.fetcher->requests.size(); ++next) {
            most = std::max(most, l.inFlight());
            const int i = int(next);
            QCOMPARE(l.fetcher->requests[next].url.toString(), kItem + u"i"_s + QString::number(i));
            const QByteArray id = "i" + QByteArray::number(i);
            if (i == 7)
                l.fetcher->answer(FetchResult(), next + 1);
            else if (i == 8)
                l.fetcher->answer(
                    FakePageFetcher::page("<html>お探しのページは見つかりません</html>", 404), next + 1);
            else
                l.fetcher->answer(FakePageFetcher::page(TestPages::todaysPage(
                                      endingAt(100 - i), id, "品" + id, i == 44 ? "closed" : "open")),
                    next + 1);
        }
        QCOMPARE(l.fetcher->requests.size(), 50);
        QCOMPARE(most, 4);
        const QStringList rows = l.rows();
        QCOMPARE(rows.size(), 50);
        // Three free slots: the three soonest open ones, checked.
        QCOMPARE(rows.mid(0, 6),
            (QStringList { u"品i49|26/12/08 12:51||x"_s, u"品i48|26/12/08 12:52||x"_s,
                u"品i47|26/12/08 12:53||x"_s, u"品i46|26/12/08 12:54||o"_s, u"品i45|26/12/08 12:55||o"_s,
                u"品i44|26/12/08 12:56|終了しました|"_s }));
        QVERIFY(rows.contains(u"品i40|26/12/08 13:00|タイマー登録済み|"_s));
        QCOMPARE(rows.mid(48),
            (QStringList { u"i7||応答がありません|"_s.prepend(kItem),
                u"i8||終了日時がわかりません|"_s.prepend(kItem) }));

        l.list()->topLevelItem(3)->setCheckState(0, Qt::Checked);
        l.button(u"cmdRegister"_s)->click();
        QCOMPARE(l.t.messages.texts,
            QStringList {
                u"3 件のタイマーをスタートしました。\n空いているタイマーが足りないため、1 件は登録できませんでした。"_s });
        const AuctionTimers &timers = l.t.timers;
        QCOMPARE(timers.timer(8).item().title, u"品i49"_s);
        QCOMPARE(timers.timer(8).item().url, kItem + u"i49"_s);
        QCOMPARE(timers.timer(8).secondsLeft(), 3060);
        QCOMPARE(timers.timer(10).item().title, u"品i47"_s);
        for (int n = 1; n <= 10; ++n)
            QVERIFY(timers.timer(n).isArmed());
        for (int n = 1; n <= 7; ++n)
            QCOMPARE(timers.timer(n).item().title, u"busy"_s);
        QVERIFY(!l.window->isVisible());
    }

    void cancelStopsTheReads()
    {
        PageLinks page { u"https://auctions.yahoo.co.jp/search/search?p=pen"_s, {}, false };
        for (int i = 0; i < 10; ++i)
            page.links << kItem + u"i"_s + QString::number(i);
        List l(page);
        l.fetcher->answer(FakePageFetcher::page(TestPages::todaysPage(endingAt(30), "i0", "万年筆")), 1);
        l.button(u"cmdCancel"_s)->click();
        QCOMPARE(l.fetcher->requests.size(), 5);
        QCOMPARE(l.inFlight(), 0);
        QCOMPARE(l.rows().first(), u"万年筆|26/12/08 12:30||x"_s);
        QCOMPARE(l.rows().count(kItem + u"i9||中止しました|"_s), 1);
        QCOMPARE(l.button(u"cmdCancel"_s)->text(), u"閉じる"_s);
        QVERIFY(l.window->isVisible());
    }

    void watchListWithoutLogin()
    {
        List l({ u"https://auctions.yahoo.co.jp/my/watchlist?watchclosed=0"_s,
            { u"https://auctions.yahoo.co.jp/"_s }, true });
        QCOMPARE(l.window->findChild<QLabel *>(u"lblHeading"_s)->text(),
            u"ウォッチリストを見るには、ブラウザでログインしてください。"_s);
        QVERIFY(l.fetcher->requests.isEmpty());
        QVERIFY(!l.list()->isVisible());
    }

    void addressOrId_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("fetched");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("auction id") << u"x1234"_s << kItem + u"x1234"_s
                                    << TestPages::todaysPage(endingAt(30), "x1234", "万年筆")
                                    << u"万年筆　のタイマーをスタートしました。"_s;
        QTest::newRow("address") << kItem + u"x1234?from=watch"_s << kItem + u"x1234?from=watch"_s
                                 << TestPages::todaysPage(endingAt(30), "x1234", "万年筆")
                                 << u"万年筆　のタイマーをスタートしました。"_s;
        QTest::newRow("no auction") << u"https://example.com/shop"_s << u"https://example.com/shop"_s
                                    << QByteArray("<html>shop</html>")
                                    << u"このページではタイマーが使えません。"_s;
        QTest::newRow("closed") << u"x1234"_s << kItem + u"x1234"_s
                                << TestPages::todaysPage(endingAt(-30), "x1234", "万年筆", "closed")
                                << u"このオークションは終了しています。"_s;
        QTest::newRow("already in a timer")
            << u"x5"_s << kItem + u"x5"_s << TestPages::todaysPage(endingAt(10), "x5", "替え芯")
            << u"このオークションはすでにタイマーに登録されています。"_s;
        QTest::newRow("neither") << u"x12 34"_s << QString() << QByteArray()
                                 << u"商品ページのURLか、英数字のオークションIDを入力してください。"_s;
    }
    void addressOrId()
    {
        QFETCH(QString, typed);
        QFETCH(QString, fetched);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        TestServices t;
        t.store.setValue(u"wavfile"_s, u"timecall.wav"_s);
        t.arm(1, 600, u"x5"_s, kItem + u"x5?from=list"_s);
        auto owned = std::make_unique<FakePageFetcher>();
        FakePageFetcher *fetcher = owned.get();
        auto *box = new AddressDialog(t.services, std::move(owned), nullptr);
        const QPointer<AddressDialog> alive(box);
        box->show();
        box->findChild<QLineEdit *>(u"txtAddress"_s)->setText(typed);
        const QString shots = qEnvironmentVariable("LARKVANE_SCREENSHOTS");
        if (!shots.isEmpty() && QTest::currentDataTag() == "auction id"_ba)
            box->grab().save(shots + u"/address_box.png"_s);
        box->findChild<QPushButton *>(u"cmdRegister"_s)->click();
        QCOMPARE(fetcher->requests.size(), fetched.isEmpty() ? 0 : 1);
        if (!fetched.isEmpty()) {
            QCOMPARE(fetcher->requests[0].url.toString(), fetched);
            fetcher->answer(FakePageFetcher::page(body));
        }
        QCOMPARE(t.messages.texts, QStringList { message });
        const bool started = message.endsWith(u"スタートしました。"_s);
        QCOMPARE(t.timers.timer(2).isArmed(), started);
        QCOMPARE(box->isVisible(), !started);
        if (started) {
            QCOMPARE(t.timers.timer(2).item().url, fetched);
            QCOMPARE(t.timers.timer(2).secondsLeft(), 1800);
        }
        delete alive.data();
    }
};

QTEST_MAIN(BatchTest)
#include "batch_test.moc"
