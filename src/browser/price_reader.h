#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <QUrl>

// What a page says the auction costs now: the price in whole yen, the
// number of bids and the buy-now price, each -1 where the page gives none.
struct PriceReading
{
    qint64 price = -1;
    qint64 bids = -1;
    qint64 buyNow = -1;
};

// Today's Yahoo!オークション pages by their page data (the item's price,
// bids and bidorbuy); the older pages by their 現在の価格, 入札件数 and
// 即決価格 rows. `cp932Source` and `body` are the same page as the page
// readers take it.
PriceReading readPrices(QStringView cp932Source, QByteArrayView body, const QUrl &url);
