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
    };

    Id fetch(const QUrl &url, Callback done) override
    {
        requests.append({ Id(requests.size() + 1), url, std::move(done) });
        return requests.size();
    }
    void cancel(Id id) override { requests[id - 1].cancelled = true; }
    void setUserAgent(const QString &) override { }

    // Answers a request (the last one by default) unless it was cancelled.
    void answer(const FetchResult &result, Id id = 0)
    {
        Request &r = requests[(id ? id : requests.size()) - 1];
        if (r.cancelled || !r.done)
            return;
        const Callback done = std::exchange(r.done, nullptr);
        done(result);
    }

    static FetchResult page(const QByteArray &body, int status = 200)
    {
        FetchResult r;
        r.ok = true;
        r.status = status;
        r.body = body;
        return r;
    }

    QList<Request> requests;
};
