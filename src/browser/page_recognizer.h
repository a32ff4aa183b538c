#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QUrl>

// What a fetched item page says about its auction, in the form the scratch
// fields and the slots hold: the older pages by their fixed markers, and
// where those find no page kind, today's Yahoo!オークション pages by their data.
struct PageReading
{
    // yy/mm/dd hh:mm, "N/A" or empty, as the scratch fields take them.
    QString start;
    QString end;
    // False when the older reading broke off midway (see MarkerReading).
    bool complete = true;
    // The end instant: to the second where the page data gives seconds,
    // else the minute of `end`. Also set for a closed auction.
    QDateTime endAt;
    bool exactSeconds = false;
    // The item's own title, when the page data gives it.
    QString title;
    // Today's page data says the auction has ended: no times are offered.
    bool closed = false;
    // The service's clock when it made the page, where the page tells it.
    QDateTime serviceTime;
    // What the auction costs now: whole yen and a count, -1 where the page
    // gives none.
    qint64 price = -1;
    qint64 bids = -1;
    qint64 buyNow = -1;
};

// `cp932Source` is the body as the page reader reads it (code page 932),
// `body` the same bytes as fetched; `today` is the Japan date of the page.
PageReading recognizePage(QStringView cp932Source, QByteArrayView body, const QUrl &url, QDate today);
