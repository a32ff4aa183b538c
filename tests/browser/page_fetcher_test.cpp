#include "page_fetcher.h"

#include "http_test_server.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

class PageFetcherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statuses_data();
    void statuses();
    void redirectFollowedAndAgentSent();
    void silentServerTimesOut();
    void cancelledFetchNeverAnswers();
    void notHttpFailsLater();
    void bodyTooLarge();
    void bigPageWhole();
};

namespace {

std::optional<FetchResult> fetchOnce(NetworkPageFetcher &fetcher, const QUrl &url)
{
    std::optional<FetchResult> got;
    fetcher.fetch(url, [&got](const FetchResult &r) { got = r; });
    if (!QTest::qWaitFor([&] { return got.has_value(); }, 10000))
        return std::nullopt;
    return got;
}

} // namespace

void PageFetcherTest::statuses_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("ok");

    // Closed auctions come as 404 with the whole item page: read it.
    QTest::newRow("200 page") << 200 << true;
    QTest::newRow("404 with full body") << 404 << true;
    QTest::newRow("410 gone") << 410 << true;
    QTest::newRow("500 server error") << 500 << false;
    QTest::newRow("503 busy") << 503 << false;
}

void PageFetcherTest::statuses()
{
    QFETCH(int, status);
    QFETCH(bool, ok);

    HttpTestServer server;
    QVERIFY(server.listen());
    HttpTestServer::Reply reply;
    reply.status = status;
    reply.body = "<html><title>\x8f\xa5</title>" + QByteArray(20000, 'z') + "</html>";
    server.setReply(u"/item"_s, reply);

    NetworkPageFetcher fetcher;
    const std::optional<FetchResult> r = fetchOnce(fetcher, server.url(u"/item"_s));
    QVERIFY(r);
    QCOMPARE(r->ok, ok);
    QCOMPARE(r->status, status);
    QCOMPARE(r->body, ok ? reply.body : QByteArray());
}

void PageFetcherTest::redirectFollowedAndAgentSent()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    HttpTestServer::Reply moved;
    moved.status = 302;
    moved.extraHeaders = "Location: /there\r\n";
    server.setReply(u"/here"_s, moved);
    server.setPage(u"/there"_s, "arrived");

    NetworkPageFetcher fetcher;
    fetcher.setUserAgent(u"Mozilla/5.0 LarkvaneTest"_s);
    const std::optional<FetchResult> r = fetchOnce(fetcher, server.url(u"/here"_s));
    QVERIFY(r);
    QVERIFY(r->ok);
    QCOMPARE(r->body, QByteArray("arrived"));
    QCOMPARE(r->finalUrl, server.url(u"/there"_s));
    QVERIFY(server.lastHeaders().contains("User-Agent: Mozilla/5.0 LarkvaneTest"));
}

void PageFetcherTest::silentServerTimesOut()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    HttpTestServer::Reply silent;
    silent.silent = true;
    server.setReply(u"/slow"_s, silent);

    NetworkPageFetcher fetcher;
    QCOMPARE(NetworkPageFetcher::kTimeoutMs, 15000);
    fetcher.setTimeoutMs(200);
    const std::optional<FetchResult> r = fetchOnce(fetcher, server.url(u"/slow"_s));
    QVERIFY(r);
    QVERIFY(!r->ok);
    QVERIFY(r->body.isEmpty());
}

void PageFetcherTest::cancelledFetchNeverAnswers()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setPage(u"/a"_s, "a");
    server.setPage(u"/b"_s, "b");

    NetworkPageFetcher fetcher;
    int answeredA = 0;
    QByteArray bodyB;
    const PageFetcher::Id a = fetcher.fetch(server.url(u"/a"_s), [&](const FetchResult &) { ++answeredA; });
    fetcher.fetch(server.url(u"/b"_s), [&](const FetchResult &r) { bodyB = r.body; });
    fetcher.cancel(a);
    fetcher.cancel(a);
    QTRY_COMPARE(bodyB, QByteArray("b"));
    QTest::qWait(50);
    QCOMPARE(answeredA, 0);
}

void PageFetcherTest::notHttpFailsLater()
{
    NetworkPageFetcher fetcher;
    bool inline_ = true;
    std::optional<FetchResult> got;
    fetcher.fetch(QUrl(u"file:///etc/hostname"_s), [&](const FetchResult &r) {
        QVERIFY(!inline_);
        got = r;
    });
    inline_ = false;
    QTRY_VERIFY(got.has_value());
    QVERIFY(!got->ok);
}

void PageFetcherTest::bodyTooLarge()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    server.setPage(u"/big"_s, QByteArray(100000, 'x'));

    NetworkPageFetcher fetcher;
    fetcher.setMaxBodyBytes(1000);
    const std::optional<FetchResult> r = fetchOnce(fetcher, server.url(u"/big"_s));
    QVERIFY(r);
    QVERIFY(!r->ok);
}

void PageFetcherTest::bigPageWhole()
{
    HttpTestServer server;
    QVERIFY(server.listen());
    QByteArray body(5 * 1024 * 1024, 'p');
    body.replace(0, 6, "<html>");
    server.setPage(u"/five"_s, body);

    NetworkPageFetcher fetcher;
    const std::optional<FetchResult> r = fetchOnce(fetcher, server.url(u"/five"_s));
    QVERIFY(r);
    QVERIFY(r->ok);
    QCOMPARE(r->body.size(), body.size());
    QCOMPARE(r->text().size(), body.size());
}

int runPageFetcherTests(int argc, char **argv)
{
    PageFetcherTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "page_fetcher_test.moc"
