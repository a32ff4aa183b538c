#include "page_fetcher.h"

#include "http_test_server.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(HttpTestServer::Reply)

class PageFetcherTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void cancelledFetchNeverAnswers();
};

void PageFetcherTest::replies_data()
{
    QTest::addColumn<HttpTestServer::Reply>("reply");
    QTest::addColumn<QString>("error");

    HttpTestServer::Reply r;
    r.body = "<html><title>\x8f\xa5</title>" + QByteArray(20000, 'z') + "</html>";
    QTest::newRow("200 page") << r << QString();
    // Closed auctions come as 404 with the whole item page: it is read.
    r.status = 404;
    QTest::newRow("404 with full body") << r << QString();
    r.status = 503;
    QTest::newRow("503 busy") << r << u"HTTP status 503"_s;
    r.status = 302;
    r.extraHeaders = "Location: /there\r\n";
    QTest::newRow("redirect followed") << r << QString();
    HttpTestServer::Reply silent;
    silent.silent = true;
    QTest::newRow("silent server times out") << silent << u"no complete answer in time"_s;
    HttpTestServer::Reply huge;
    huge.body = QByteArray(100000, 'x');
    QTest::newRow("body beyond the limit") << huge << u"body too large"_s;
    // Only counting what arrives stops these: no length is declared.
    HttpTestServer::Reply undeclared;
    undeclared.stream = 100000;
    QTest::newRow("undeclared length beyond the limit") << undeclared << u"body too large"_s;
    HttpTestServer::Reply endless;
    endless.stream = HttpTestServer::kEndless;
    QTest::newRow("chunked without end") << endless << u"body too large"_s;
}

void PageFetcherTest::replies()
{
    QFETCH(HttpTestServer::Reply, reply);
    QFETCH(QString, error);
    const bool ok = error.isEmpty();

    HttpTestServer server;
    QVERIFY(server.listen());
    server.setReply(u"/item"_s, reply);
    server.setPage(u"/there"_s, "arrived");

    NetworkPageFetcher fetcher;
    fetcher.setUserAgent(u"Mozilla/5.0 LarkvaneTest"_s);
    fetcher.setTimeoutMs(300);
    fetcher.setMaxBodyBytes(50000);
    std::optional<FetchResult> got;
    fetcher.fetch(server.url(u"/item"_s), [&got](const FetchResult &r) { got = r; });
    QVERIFY(!got);
    QTRY_VERIFY(got.has_value());

    QCOMPARE(got->ok, ok);
    QCOMPARE(got->error, error);
    QVERIFY(server.lastHeaders().contains("User-Agent: Mozilla/5.0 LarkvaneTest"));
    if (!ok)
        QCOMPARE(got->body, QByteArray());
    else if (reply.status == 302)
        QCOMPARE(got->body, QByteArray("arrived"));
    else
        QCOMPARE(got->body, reply.body);
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
    QTRY_COMPARE(bodyB, QByteArray("b"));
    QTest::qWait(50);
    QCOMPARE(answeredA, 0);
}

int runPageFetcherTests(int argc, char **argv)
{
    PageFetcherTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "page_fetcher_test.moc"
