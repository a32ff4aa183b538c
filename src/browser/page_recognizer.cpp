#include "page_recognizer.h"

#include "item_data_recognizer.h"
#include "marker_recognizer.h"
#include "price_reader.h"
#include "time_text.h"

using namespace Qt::StringLiterals;

namespace {

bool onDomain(const QUrl &url, const QString &domain)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http"_s && scheme != u"https"_s)
        return false;
    const QString host = url.host().toLower();
    return host == domain || host.endsWith(u'.' + domain);
}

// Any page can copy an old layout's markers: they are believed only from
// the service whose layout they are.
bool trusted(MarkerReading::Kind kind, const QUrl &url)
{
    switch (kind) {
    case MarkerReading::Kind::Yahoo:
        return onDomain(url, u"yahoo.co.jp"_s);
    case MarkerReading::Kind::Bidders:
        return onDomain(url, u"bidders.co.jp"_s);
    case MarkerReading::Kind::None:
        break;
    }
    return false;
}

PageReading recognizeTimes(QStringView cp932Source, QByteArrayView body, const QUrl &url, QDate today)
{
    PageReading r;
    const MarkerReading markers = recognizeMarkers(cp932Source, today);
    if (markers.kind != MarkerReading::Kind::None) {
        if (!trusted(markers.kind, url))
            return r;
        r.start = markers.start;
        r.end = markers.end;
        r.complete = markers.complete;
        r.endAt = parseTimeText(r.end);
        return r;
    }

    const ItemDataReading data = recognizeItemData(body, url);
    if (!data.found())
        return r;
    r.endAt = data.end;
    r.exactSeconds = data.exactSeconds;
    r.title = data.title;
    r.closed = data.closed;
    r.serviceTime = data.serviceTime;
    if (!data.closed) {
        r.start = data.start.isValid() ? timeText(data.start) : QString();
        r.end = timeText(data.end);
    }
    return r;
}

} // namespace

PageReading recognizePage(QStringView cp932Source, QByteArrayView body, const QUrl &url, QDate today)
{
    PageReading r = recognizeTimes(cp932Source, body, url, today);
    // Only a page that is an auction's says what the auction costs.
    if (!r.end.isEmpty() || r.closed) {
        const PriceReading prices = readPrices(cp932Source, body, url);
        r.price = prices.price;
        r.bids = prices.bids;
        r.buyNow = prices.buyNow;
    }
    return r;
}
