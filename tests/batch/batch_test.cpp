// Registering many items at once: from the links of a list page, and from an
// address or auction id typed in a box.

#include "address_dialog.h"
#include "background_page_reader.h"
#include "fake_page_fetcher.h"
#include "item_links.h"
#include "item_list_window.h"
#include "list_page.h"
#include "test_pages.h"
#include "test_services.h"

#include <QFile>
#include <QLabel>
#include <QLayout>
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

QByteArray fixture(const QString &name)
{
    QFile f(QStringLiteral(LARKVANE_FIXTURES_DIR "/yahoo-real/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString described(const ListedAuction &a)
{
    return a.id + u'|' + a.title + u'|' + a.end.toOffsetFromUtc(9 * 3600).toString(u"yyyy-MM-dd HH:mm:ss"_s);
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

        // The page's own source is asked for first: `source` answers it.
        explicit List(
            const PageLinks &page, const FetchResult &source = FetchResult(), const QDateTime &now = {})
        {
            if (now.isValid())
                t.clock.set(now);
            t.store.setValue(u"wavfile"_s, u"timecall.wav"_s);
            auto f = std::make_unique<FakePageFetcher>();
            fetcher = f.get();
            window = new ItemListWindow(t.services, std::move(f), nullptr);
            window->show();
            window->listPage(page);
            if (!fetcher->requests.isEmpty() && fetcher->requests.first().url == QUrl(page.url))
                fetcher->answer(source, 1);
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
    // The real pages as served: every auction once with its title and end,
    // no Yahoo!フリマ item; an empty page, or one from elsewhere, gives none.
    void listPages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("isList");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        const QString search = u"https://auctions.yahoo.co.jp/search/search?p=x"_s;
        const QString closed = u"https://auctions.yahoo.co.jp/closedsearch/closedsearch?p=x"_s;
        const QString seller = u"https://auctions.yahoo.co.jp/seller/x"_s;
        QTest::newRow("search, three promoted repeats")
            << u"search_psa_2026-08-01.html"_s << search << true << false << 50
            << u"s1238539612|ARS10 遊戯王 はにわ 初期 Vol.1 PSA10相当|2026-08-02 22:58:02"_s
            << u"j1237874953|遊戯王 青眼の白龍 ブルーアイズホワイトドラゴン 初期 ウルトラレア PSA6 STARTER BOX スターターボックス|2026-08-01 22:28:12"_s;
        QTest::newRow("search with six フリマ cards and a browsing history")
            << u"search_mario_2026-02-18.html"_s << search << true << false << 47
            << u"m1219814658|Nintendo 任天堂 SWITCH スイッチ ゲームソフトまとめ 8本 ハントダウン/カップヘッド/エピックミッキー/トライン4/マリオ&ルイージRPGなど|2026-02-23 20:06:14"_s
            << u"l1219602002|【1円】SFC スーパーマリオワールド ゲームソフト 箱付き スーパーファミコン 起動確認済 B06-386rm/F3|2026-02-18 21:54:41"_s;
        QTest::newRow("closed items, half フリマ")
            << u"closedsearch_psa_2026-08-01.html"_s << closed << true << true << 25
            << u"l1238412091|遊戯王 マジシャン・オブ・ブラックカオス 初期 ウルトラレア PSA8 鑑定品 東京ドーム大会　コレクション祭開催中　他多数出品中|2026-08-01 22:17:22"_s
            << u"d1236997130|遊戯王　PSA8 封印されし者の左足　初期ウルトラレア　美品|2026-07-19 23:42:57"_s;
        QTest::newRow("seller, only in the page data")
            << u"seller_buyout_2026-08-04.html"_s << seller << true << false << 5
            << u"e1239514318|【ARS10】超竜バジュラ 旧枠 デュエルマスターズ DM-08 S4\\S5 スーパーレア 極美品 ARS鑑定|2026-08-09 23:39:13"_s
            << u"u1239513209|【ARS10】 処刑人マキュラ レリーフ アルティメットレア 遊戯王 DL2-000 極美品 ARS鑑定|2026-08-09 23:37:47"_s;
        QTest::newRow("seller, a numeric id")
            << u"seller_bid_only_2026-08-04.html"_s << seller << true << false << 6
            << u"m1237779263|遊戯王　1円スタート　カオスソルジャー　ウルトラ　ARS10＋ 4つ星5つ目　鑑定書付き　3000枚キャンペーン　 PSA10↑ |2026-08-09 21:06:05"_s
            << u"g1239328855|遊戯王 ブラックマジシャンガール　ウルトラ　ARS10＋　鑑定書付き　アニバーサリーパック　PSA10 |2026-08-09 21:22:13"_s;
        QTest::newRow("search, nothing found")
            << u"search_empty_2026-08-01.html"_s << search << false << false << 0 << QString() << QString();
        QTest::newRow("closed items, nothing found") << u"closedsearch_empty_2026-08-01.html"_s << closed
                                                     << true << true << 0 << QString() << QString();
        QTest::newRow("seller, nothing for sale")
            << u"seller_empty_2026-08-04.html"_s << seller << true << false << 0 << QString() << QString();
        QTest::newRow("the same page from another host")
            << u"search_psa_2026-08-01.html"_s << u"https://auctions.yahoo.co.jp.example.net/search/search"_s
            << false << false << 0 << QString() << QString();
    }
    void listPages()
    {
        QFETCH(QString, file);
        QFETCH(QString, url);
        QFETCH(bool, isList);
        QFETCH(bool, closed);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QByteArray body = fixture(file);
        if (body.isEmpty())
            QSKIP("the real pages are not here");
        const ListPageReading list = readListPage(body, QUrl(url));
        QCOMPARE(list.isList, isList);
        QCOMPARE(list.closed, closed);
        QCOMPARE(list.auctions.size(), count);
        if (count == 0)
            return;
        QCOMPARE(described(list.auctions.first()), first);
        QCOMPARE(described(list.auctions.last()), last);
        for (const ListedAuction &a : list.auctions) {
            // Every Yahoo!フリマ item of these pages has a z id.
            QVERIFY2(!a.id.startsWith(u'z') && !a.title.isEmpty() && a.end.isValid(), qPrintable(a.id));
            QCOMPARE(a.url.toString(), u"https://auctions.yahoo.co.jp/jp/auction/"_s + a.id);
        }
    }

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

    // A list page whose source cannot be read: sixty linked, fifty read, four
    // at a time; soonest end first, what cannot be registered greyed with
    // why; more checked than free slots fit.
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
        for (qsizetype next = 1; next < l.fetcher->requests.size(); ++next) {
            most = std::max(most, l.inFlight());
            const int i = int(next) - 1;
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
        QCOMPARE(l.fetcher->requests.size(), 51);
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

    void cancelStopsTheReads_data()
    {
        QTest::addColumn<bool>("onWorker");
        QTest::newRow("read at once") << false;
        QTest::newRow("read on a thread of their own") << true;
    }
    void cancelStopsTheReads()
    {
        QFETCH(bool, onWorker);
        BackgroundPageReader::setWorkersByDefault(onWorker);
        const auto restore = qScopeGuard([] { BackgroundPageReader::setWorkersByDefault(false); });
        PageLinks page { u"https://auctions.yahoo.co.jp/search/search?p=pen"_s, {}, false };
        for (int i = 0; i < 10; ++i)
            page.links << kItem + u"i"_s + QString::number(i);
        List l(page);
        l.fetcher->answer(FakePageFetcher::page(TestPages::todaysPage(endingAt(30), "i0", "万年筆")), 2);
        if (onWorker) {
            QTRY_VERIFY(l.rows().first().startsWith(u"万年筆|"_s));
            // Fetched, and still being read when the reads are cancelled.
            l.fetcher->answer(FakePageFetcher::page(TestPages::todaysPage(endingAt(31), "i1", "鉛筆")), 3);
        }
        l.button(u"cmdCancel"_s)->click();
        if (onWorker) {
            QTest::qWait(300);
            QCOMPARE(l.rows().count(kItem + u"i1||中止しました|"_s), 1);
        }
        QCOMPARE(l.fetcher->requests.size(), 6);
        QCOMPARE(l.inFlight(), 0);
        QCOMPARE(l.rows().first(), u"万年筆|26/12/08 12:30||x"_s);
        QCOMPARE(l.rows().count(kItem + u"i9||中止しました|"_s), 1);
        QCOMPARE(l.button(u"cmdCancel"_s)->text(), u"閉じる"_s);
        QVERIFY(l.window->isVisible());
    }

    // The real search page lists its fifty auctions with their ends: no item
    // page is read, one already ended is greyed, the ten soonest open ones
    // are checked.
    void realSearchPageNeedsNoRead()
    {
        const QByteArray body = fixture(u"search_psa_2026-08-01.html"_s);
        if (body.isEmpty())
            QSKIP("the real pages are not here");
        const QString url = u"https://auctions.yahoo.co.jp/search/search?p=psa"_s;
        List l(
            { url, {}, false }, FakePageFetcher::page(body), japanDateTime(QDate(2026, 8, 1), QTime(19, 30)));
        QCOMPARE(l.fetcher->requests.size(), 1);
        const QStringList rows = l.rows();
        QCOMPARE(rows.size(), 50);
        QCOMPARE(rows.mid(0, 2),
            (QStringList {
                u"遊戯王 2人3脚ゾンビ 初期 ウルトラシークレット PSA8 鑑定品|26/08/01 17:41|終了時刻を過ぎています|"_s,
                u"PSA 遊戯王 トランプコレクション ゴースト 初期 希少 キラカード|26/08/01 21:06||x"_s }));
        QCOMPARE(rows.last(), u"遊戯王　初期　ゼラの儀式　スーパーレア　PSA8　鑑定品　|26/08/07 19:25||o"_s);
        QCOMPARE(rows.filter(QRegularExpression(u"\\|x$"_s)).size(), 10);
        if (const QString shots = qEnvironmentVariable("LARKVANE_SCREENSHOTS"); !shots.isEmpty()) {
            l.window->layout()->activate();
            l.window->grab().save(shots + u"/item_list.png"_s);
        }

        l.button(u"cmdRegister"_s)->click();
        QCOMPARE(l.t.messages.texts, QStringList { u"10 件のタイマーをスタートしました。"_s });
        // The list gives no start.
        const AuctionTimer &first = l.t.timers.timer(1);
        QCOMPARE(first.item().start, u"N/A"_s);
        QCOMPARE(first.endText(), u"26/08/01 21:06"_s);
        QCOMPARE(first.item().url, u"https://auctions.yahoo.co.jp/jp/auction/v1238525512"_s);
    }

    void watchListWithoutLogin()
    {
        List l({ u"https://auctions.yahoo.co.jp/my/watchlist?watchclosed=0"_s,
            { u"https://auctions.yahoo.co.jp/"_s }, true });
        QCOMPARE(l.window->findChild<QLabel *>(u"lblHeading"_s)->text(),
            u"ウォッチリストを見るには、ブラウザでログインしてください。"_s);
        // The page itself, which the service sends to its login: no item.
        QCOMPARE(l.fetcher->requests.size(), 1);
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
