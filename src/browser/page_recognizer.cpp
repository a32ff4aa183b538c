#include "page_recognizer.h"

#include "item_data_recognizer.h"
#include "marker_recognizer.h"
#include "time_text.h"

PageReading recognizePage(QStringView cp932Source, QByteArrayView body, const QUrl &url, QDate today)
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
