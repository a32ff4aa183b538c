#pragma once

class QUrl;
class ServiceClock;
struct FetchResult;
struct PageReading;

// Tells the service's clock what one read of `url` said of it: the page's own
// seconds left where it states them, and the reply's Date header.
void learnServiceTime(
    ServiceClock &clock, const QUrl &url, const FetchResult &result, const PageReading &page);

// A fetched item page read on the service's date for its host, with what it
// says of the service's clock learned: how every read after the first one of
// the page shown goes.
PageReading readFetchedPage(ServiceClock &clock, const QUrl &url, const FetchResult &result);
