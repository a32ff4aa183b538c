// The real pages in the real browser, served over loopback under the
// service's host names: the list window on the real search page, and the
// timer menu of a real item page whose other hosts never answer.
//
//   bench_page_arrival [runs=5]
//
// Prints two rows of the README's table on standard output; a dash where
// the saved pages are not there.

#include "batch_windows.h"
#include "browser_window.h"
#include "http_test_server.h"
#include "in_process_link.h"
#include "page_fetcher.h"
#include "test_services.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

QByteArray savedPage(const QString &name)
{
    QFile f(QStringLiteral(LARKVANE_FIXTURES_DIR "/yahoo-real/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// In a real event loop, as the program runs: QTest's waits sleep between
// rounds of events, and each of Chromium's many hops through the main thread
// would wait out such a sleep.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start(5);
    if (!done())
        loop.exec();
    return done();
}

void row(const QString &measure, const QString &value)
{
    std::printf("| %s | %s |  |  |\n", qPrintable(measure), qPrintable(value));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = std::clamp(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5, 1, 20);
    QStandardPaths::setTestModeEnabled(true);
    const QString listMeasure
        = u"list window on the real search page of 50 auctions: rows / with their end / item pages read, and ms to the list"_s;
    const QString menuMeasure
        = u"timer menu on a real item page, its other hosts never answering: after the page arrived, median / worst of "_s
        + QString::number(runs) + u" (ms)"_s;
    const QByteArray search = savedPage(u"search_psa_2026-08-01.html"_s);
    const QByteArray item = savedPage(u"item_open_1219987808.html"_s);
    if (search.isEmpty() || item.isEmpty()) {
        row(listMeasure, u"-"_s);
        row(menuMeasure, u"-"_s);
        return 0;
    }

    HttpTestServer server;
    if (!server.listen())
        return 1;
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, server.port()));
    TestServices ts;
    ts.clock.set(QDate(2026, 8, 1), QTime(12, 0));
    ts.store.setValue(u"boot_dir"_s, ts.dir.path());
    ts.store.setValue(u"wavfile"_s, ts.dir.filePath(u"timecall.wav"_s));
    ts.dir.write(u"html/serch.html"_s, "<html><head><title>search</title></head><body></body></html>");
    registerBatchWindows(ts.windows, ts.services, [] { return std::make_unique<NetworkPageFetcher>(); });
    InProcessLink link(ts.services, ts.messages);
    BrowserWindow *web = link.show();
    if (!web)
        return 2;
    auto action = [web](const QString &name) { return web->findChild<QAction *>(name); };

    // The list: the browser loads the page, the window reads it once more.
    const QString host = u"http://auctions.yahoo.co.jp"_s;
    const QString listUrl = host + u"/search/search?p=psa"_s;
    server.setPage(listUrl, search, "text/html; charset=utf-8");
    web->navigate(listUrl);
    if (!waitFor([&] { return action(u"mnuPageItems"_s)->isEnabled(); }, 60000))
        return 3;
    ts.browser.links = link.program->pageLinks();
    const int before = int(server.requests().size());
    QElapsedTimer listTime;
    listTime.start();
    action(u"mnuPageItems"_s)->trigger();
    QWidget *list = nullptr;
    if (!waitFor(
            [&] {
                list = ts.windows.find<QWidget>(u"frmItemList"_s);
                return list && list->findChild<QPushButton *>(u"cmdCancel"_s)->text() == u"閉じる"_s;
            },
            60000))
        return 4;
    const qint64 listMs = listTime.elapsed();
    auto *rows = list->findChild<QTreeWidget *>(u"lstItems"_s);
    int withEnd = 0;
    for (int i = 0; i < rows->topLevelItemCount(); ++i)
        withEnd += rows->topLevelItem(i)->text(1).isEmpty() ? 0 : 1;
    const QStringList asked = server.requests().mid(before);
    const auto itemReads = std::count_if(
        asked.cbegin(), asked.cend(), [](const QString &path) { return path.contains(u"/jp/auction/"_s); });
    row(listMeasure,
        QString::number(rows->topLevelItemCount()) + u" / "_s + QString::number(withEnd) + u" / "_s
            + QString::number(itemReads) + u", "_s + QString::number(listMs));
    list->close();

    // The item page: everything but the page itself is held open.
    QString itemUrl;
    QElapsedTimer sinceArrival;
    QObject::connect(&server, &HttpTestServer::requested, &app, [&](const QString &path) {
        if (path == itemUrl) {
            if (!sinceArrival.isValid())
                sinceArrival.start();
            return;
        }
        if (path.startsWith(host + u"/search/"_s))
            return;
        HttpTestServer::Reply held;
        held.held = true;
        held.status = 404;
        server.setReply(path, held);
    });
    QAction *timer = action(u"mnutimer1"_s);
    QList<qint64> delays;
    int unfinished = 0;
    for (int n = 0; n < runs; ++n) {
        // Each run a new address, so that nothing comes from the cache.
        itemUrl = host + u"/jp/auction/1219987808?run="_s + QString::number(n);
        server.setPage(itemUrl, item, "text/html; charset=utf-8");
        sinceArrival.invalidate();
        qint64 menuAt = -1;
        const QMetaObject::Connection c
            = QObject::connect(timer, &QAction::enabledChanged, &app, [&](bool on) {
                  if (on && menuAt < 0 && sinceArrival.isValid())
                      menuAt = sinceArrival.elapsed();
              });
        QSignalSpy complete(web->engine(), &BrowserEngine::documentComplete);
        web->navigate(itemUrl);
        const bool menu = waitFor([&] { return menuAt >= 0; }, 30000);
        QObject::disconnect(c);
        unfinished += complete.isEmpty() ? 1 : 0;
        if (menu)
            delays << menuAt;
        server.releaseHeld();
        web->navigate(QUrl::fromLocalFile(ts.dir.filePath(u"html/serch.html"_s)).toString());
        if (!waitFor([&] { return !timer->isEnabled(); }, 30000))
            return 5;
        server.releaseHeld();
    }
    std::sort(delays.begin(), delays.end());
    if (delays.size() < runs)
        row(menuMeasure, u"no timer menu in "_s + QString::number(runs - delays.size()) + u" runs"_s);
    else
        row(menuMeasure,
            QString::number(delays.at(delays.size() / 2)) + u" / "_s + QString::number(delays.last())
                + u" (the page still loading in "_s + QString::number(unfinished) + u" of "_s
                + QString::number(runs) + u")"_s);
    web->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
