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
    const QString host = url.host();
    if (page.serviceTime.isValid()) {
        clock.learn(host, page.serviceTime, result.roundTripMs, ServiceClock::Source::PageData);
    } else if (result.serverDate.isValid()) {
        // The header drops the fraction: the true time lies in the second it names.
        clock.learn(
            host, result.serverDate.addMSecs(500), result.roundTripMs, ServiceClock::Source::DateHeader);
    }
}

PageReading readFetchedPage(ServiceClock &clock, const QUrl &url, const FetchResult &result)
{
    const QDate today = clock.now(url.host()).toOffsetFromUtc(kJapanOffsetSeconds).date();
    const PageReading page = recognizePage(result.text(), result.body, url, today);
    learnServiceTime(clock, url, result, page);
    return page;
}
