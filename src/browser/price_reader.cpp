#include "price_reader.h"

#include "item_data_recognizer.h"
#include "page_data.h"

#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A count or an amount the page states; -1 for anything else. Nothing real
// comes near a trillion yen.
qint64 wholeAmount(const QJsonValue &v)
{
    double d = -1;
    if (v.isDouble())
        d = v.toDouble();
    else if (v.isString())
        d = v.toString().toDouble();
    if (!std::isfinite(d) || d < 0 || d >= 1e12 || d != std::floor(d))
        return -1;
    return qint64(d);
}

bool readPageData(QByteArrayView body, const QUrl &url, PriceReading &r)
{
    const QString id = yahooAuctionId(url);
    if (id.isEmpty())
        return false;
    const QJsonObject item = jsonAt(nextDataObject(body),
        { u"props"_s, u"pageProps"_s, u"initialState"_s, u"item"_s, u"detail"_s, u"item"_s })
                                 .toObject();
    if (item.isEmpty() || jsonText(item.value(u"auctionId"_s)) != id)
        return false;
    r.price = wholeAmount(item.value(u"price"_s));
    r.bids = wholeAmount(item.value(u"bids"_s));
    r.buyNow = wholeAmount(item.value(u"bidorbuy"_s));
    return r.price >= 0 || r.bids >= 0;
}

// The first figure after `label`, within the row's few tags and blanks:
// "現在の価格</td><td>12,500 円" reads 12500.
qint64 rowFigure(QStringView text, const QString &label, bool yen)
{
    const QRegularExpression re(QRegularExpression::escape(label)
        + uR"((?:\s|　|：|:|<[^>]{0,200}>){0,12}([0-9０-９][0-9０-９,，]{0,15}))"_s
        + (yen ? uR"(\s*(?:<[^>]{0,200}>\s*){0,2}円)"_s : QString()));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return -1;
    QString digits = m.captured(1).normalized(QString::NormalizationForm_KC);
    digits.remove(u',');
    bool ok = false;
    const qint64 v = digits.toLongLong(&ok);
    return ok && v < 1'000'000'000'000 ? v : -1;
}

} // namespace

PriceReading readPrices(QStringView cp932Source, QByteArrayView body, const QUrl &url)
{
    PriceReading r;
    if (readPageData(body, url, r))
        return r;
    r.price = rowFigure(cp932Source, u"現在の価格"_s, true);
    r.bids = rowFigure(cp932Source, u"入札件数"_s, false);
    r.buyNow = rowFigure(cp932Source, u"即決価格"_s, true);
    return r;
}
