#pragma once

class QDate;
class QUrl;
class ServiceClock;
struct FetchResult;
struct PageReading;

// Tells the service's clock what one read of `url` said of it: the page's own
// seconds left where it states them, and the reply's Date header.
void learnServiceTime(
    ServiceClock &clock, const QUrl &url, const FetchResult &result, const PageReading &page);

// Today in Japan on the service's clock for `url`'s host: the date a page
// of it is read as of.
QDate serviceToday(const ServiceClock &clock, const QUrl &url);
