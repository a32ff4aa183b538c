#include "service_time.h"

#include "page_fetcher.h"
#include "page_recognizer.h"
#include "service_clock.h"
#include "time_text.h"

#include <QUrl>

void learnServiceTime(
    ServiceClock &clock, const QUrl &url, const FetchResult &result, const PageReading &page)
{
    if (!result.ok || result.roundTripMs < 0)
        return;
    ServiceClock::Reply reply;
    reply.pageTime = page.serviceTime;
    // The header drops the fraction: the true time lies in the second it names.
    if (result.serverDate.isValid())
        reply.headerTime = result.serverDate.addMSecs(500);
    reply.roundTripMs = result.roundTripMs;
    clock.learn(url.host(), reply);
}

QDate serviceToday(const ServiceClock &clock, const QUrl &url)
{
    return clock.now(url.host()).toOffsetFromUtc(kJapanOffsetSeconds).date();
}
