// The browser window's rules that need no browser: run without Chromium, and
// under the sanitizers.

#include "browser_engine.h"
#include "browser_layout.h"
#include "status_text.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class BrowserRulesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layoutRule_data()
    {
        QTest::addColumn<QSize>("inner");
        QTest::addColumn<QString>("tbar1");
        QTest::addColumn<QString>("tbar2mode");
        QTest::addColumn<QRect>("browser");
        QTest::addColumn<QPoint>("bt01");

        // Two status bars of 330 each: a 9000 x 6000 browser without the
        // toolbar, 9000 x 5400 below it.
        const QSize inner(9000, 6660);
        QTest::newRow("no toolbar, top left")
            << inner << u"0"_s << u"0"_s << QRect(0, 0, 9000, 6000) << QPoint(120, 120);
        QTest::newRow("toolbar, top left")
            << inner << u"1"_s << u"0"_s << QRect(0, 600, 9000, 5400) << QPoint(120, 720);
        QTest::newRow("toolbar, top right")
            << inner << u"1"_s << u"1"_s << QRect(0, 600, 9000, 5400) << QPoint(6945, 720);
        QTest::newRow("toolbar, bottom left")
            << inner << u"1"_s << u"2"_s << QRect(0, 600, 9000, 5400) << QPoint(120, 5085);
        QTest::newRow("no toolbar, bottom right")
            << inner << u"0"_s << u"3"_s << QRect(0, 0, 9000, 6000) << QPoint(6945, 5085);
        QTest::newRow("toolbar, bottom right")
            << inner << u"1"_s << u"3"_s << QRect(0, 600, 9000, 5400) << QPoint(6945, 5085);
        QTest::newRow("corner 4 is no corner")
            << inner << u"1"_s << u"4"_s << QRect(0, 600, 9000, 5400) << QPoint(0, 0);
        QTest::newRow("empty corner")
            << inner << u"1"_s << QString() << QRect(0, 600, 9000, 5400) << QPoint(0, 0);
        QTest::newRow("corner with a blank")
            << inner << u"1"_s << u" 1"_s << QRect(0, 600, 9000, 5400) << QPoint(0, 0);
        QTest::newRow("tbar1 other than 1 hides")
            << inner << u"yes"_s << u"0"_s << QRect(0, 0, 9000, 6000) << QPoint(120, 120);
        QTest::newRow("narrow window, right corner goes left of 0")
            << QSize(1500, 6660) << u"0"_s << u"1"_s << QRect(0, 0, 1500, 6000) << QPoint(-555, 120);
    }
    void layoutRule()
    {
        QFETCH(QSize, inner);
        QFETCH(QString, tbar1);
        QFETCH(QString, tbar2mode);
        QFETCH(QRect, browser);
        QFETCH(QPoint, bt01);

        const int top = BrowserLayout::browserTop(tbar1);
        const std::optional<QSize> size = BrowserLayout::browserSize(inner, 0, 330, 330, tbar1);
        QVERIFY(size);
        const QRect got(QPoint(0, top), *size);
        QCOMPARE(got, browser);
        QCOMPARE(BrowserLayout::backButtonPos(tbar2mode, got), bt01);
        QCOMPARE(BrowserLayout::forwardButtonPos(tbar2mode, got), bt01 + QPoint(840, 0));
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("url");
        QTest::newRow("http") << u"http://auctions.yahoo.co.jp/jp/"_s << u"http://auctions.yahoo.co.jp/jp/"_s;
        QTest::newRow("https") << u"https://auctions.yahoo.co.jp/"_s << u"https://auctions.yahoo.co.jp/"_s;
        QTest::newRow("local path") << u"/work/html/serch.html"_s << u"file:///work/html/serch.html"_s;
        QTest::newRow("path with a blank")
            << u"/work/my html/serch.html"_s << u"file:///work/my%20html/serch.html"_s;
        QTest::newRow("bare host") << u"www.bidders.co.jp"_s << u"http://www.bidders.co.jp"_s;
        QTest::newRow("blanks around") << u"  http://a.example/  "_s << u"http://a.example/"_s;
        QTest::newRow("script") << u"javascript:alert(1)"_s << QString();
        QTest::newRow("data") << u"data:text/html,<script>alert(1)</script>"_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void addresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, url);
        QCOMPARE(browserAddress(address).toString(QUrl::FullyEncoded), url);
    }

    void statusText_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("text");
        QTest::newRow("loading") << QStringList { u"start"_s } << u"ページを開いています..."_s;
        QTest::newRow("progress") << QStringList { u"start"_s, u"progress 40"_s }
                                  << u"ページを開いています... (40%)"_s;
        QTest::newRow("shown") << QStringList { u"start"_s, u"progress 40"_s, u"ok"_s }
                               << u"ページが表示されました"_s;
        QTest::newRow("late progress after the end")
            << QStringList { u"start"_s, u"ok"_s, u"progress 60"_s } << u"ページが表示されました"_s;
        QTest::newRow("stopped") << QStringList { u"start"_s, u"stop"_s }
                                 << u"ページの読み込みを中止しました"_s;
        QTest::newRow("failed") << QStringList { u"start"_s, u"fail"_s } << u"ページを表示できませんでした"_s;
        QTest::newRow("certificate") << QStringList { u"start"_s, u"cert"_s }
                                     << u"安全な接続を確認できないため、ページを表示しませんでした"_s;
        QTest::newRow("link over a shown page")
            << QStringList { u"start"_s, u"ok"_s, u"link http://a.example/x"_s } << u"http://a.example/x"_s;
        QTest::newRow("pointer leaves the link")
            << QStringList { u"start"_s, u"ok"_s, u"link http://a.example/x"_s, u"link"_s }
            << u"ページが表示されました"_s;
        QTest::newRow("load goes on under a link") << QStringList { u"start"_s, u"link http://a.example/x"_s,
            u"progress 70"_s, u"link"_s } << u"ページを開いています... (70%)"_s;
        QTest::newRow("link stays while the page ends")
            << QStringList { u"start"_s, u"link http://a.example/x"_s, u"ok"_s } << u"http://a.example/x"_s;
    }
    void statusText()
    {
        QFETCH(QStringList, events);
        QFETCH(QString, text);
        StatusText status;
        using Load = StatusText::Load;
        for (const QString &e : std::as_const(events)) {
            const QString arg = e.section(u' ', 1);
            if (e.startsWith(u"link"_s))
                status.setLink(arg);
            else if (e == u"start"_s)
                status.setLoad(Load::Started);
            else if (e.startsWith(u"progress"_s))
                status.setLoad(Load::Progress, arg.toInt());
            else if (e == u"ok"_s)
                status.setLoad(Load::Succeeded);
            else if (e == u"stop"_s)
                status.setLoad(Load::Stopped);
            else if (e == u"fail"_s)
                status.setLoad(Load::Failed);
            else if (e == u"cert"_s)
                status.setLoad(Load::CertificateRefused);
        }
        QCOMPARE(status.text(), text);
    }
};

QTEST_GUILESS_MAIN(BrowserRulesTest)
#include "browser_rules_test.moc"
