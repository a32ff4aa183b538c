#pragma once

#include "page_fetcher.h"

#include <QList>
#include <QUrl>

// A fetcher that answers only when the test says so.
class FakePageFetcher final : public PageFetcher
{
public:
    struct Request
    {
        Id id = 0;
        QUrl url;
        Callback done;
        bool cancelled = false;
        bool answered = false;
    };

    Id fetch(const QUrl &url, Callback done) override
    {
        requests.append({ m_next, url, std::move(done) });
        return m_next++;
    }
    void cancel(Id id) override
    {
        for (Request &r : requests)
            if (r.id == id)
                r.cancelled = true;
    }
    void setUserAgent(const QString &ua) override { userAgent = ua; }

    // Answers the request with the given id unless it was cancelled.
    void answer(Id id, const FetchResult &result)
    {
        for (Request &r : requests) {
            if (r.id != id || r.cancelled || r.answered)
                continue;
            r.answered = true;
            Callback done = r.done;
            done(result);
            return;
        }
    }
    void answerLast(const FetchResult &result) { answer(requests.last().id, result); }

    static FetchResult page(const QByteArray &body, int status = 200)
    {
        FetchResult r;
        r.ok = true;
        r.status = status;
        r.body = body;
        return r;
    }
    static FetchResult failure()
    {
        FetchResult r;
        r.error = QStringLiteral("refused");
        return r;
    }

    int open() const
    {
        int n = 0;
        for (const Request &r : requests)
            n += !r.cancelled && !r.answered;
        return n;
    }

    QList<Request> requests;
    QString userAgent;

private:
    Id m_next = 1;
};
