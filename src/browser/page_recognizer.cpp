#include "page_recognizer.h"

#include "item_data_recognizer.h"
#include "marker_recognizer.h"
#include "price_reader.h"
#include "time_text.h"

namespace {

PageReading recognizeTimes(QStringView cp932Source, QByteArrayView body, const QUrl &url, QDate today)
{
    PageReading r;
    const MarkerReading markers = recognizeMarkers(cp932Source, today);
    if (markers.kind != MarkerReading::Kind::None) {
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
