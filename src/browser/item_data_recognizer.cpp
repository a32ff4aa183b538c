#include "item_data_recognizer.h"

#include "clock.h"
#include "page_data.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The service closes an auction within moments of its end.
constexpr double kOpenPastEndSeconds = 60;

// The end of the JSON object or array that opens at `from`, found without
// parsing it: strings are skipped whole, so a brace or ";" in a title does
// not end it. -1 when it never closes.
qsizetype jsonValueEnd(QByteArrayView text, qsizetype from)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0)
                return i + 1;
        }
    }
    return -1;
}

bool readNextData(QByteArrayView body, const QString &id, ItemDataReading &r)
{
    const QJsonObject root = nextDataObject(body);

    // The key path, not the first "endTime": a campaign's comes before it.
    const QJsonObject item
        = jsonAt(root, { u"props"_s, u"pageProps"_s, u"initialState"_s, u"item"_s, u"detail"_s, u"item"_s })
              .toObject();
    if (item.isEmpty() || jsonText(item.value(u"auctionId"_s)) != id)
        return false;

    QDateTime start = serviceIsoTime(item.value(u"startTime"_s).toString());
    QDateTime end = serviceIsoTime(item.value(u"endTime"_s).toString());
    if (!end.isValid()) {
        const QJsonObject ult = item.value(u"timeForUlt"_s).toObject();
        start = serviceEpochTime(ult.value(u"startTime"_s));
        end = serviceEpochTime(ult.value(u"endTime"_s));
    }
    if (!end.isValid())
        return false;
    r.source = ItemDataReading::Source::NextData;
    r.start = start;
    r.end = end;
    r.exactSeconds = true;
    r.title = item.value(u"title"_s).toString();
    r.automaticExtension = item.value(u"isAutomaticExtension"_s).toBool();
    r.closed = item.value(u"status"_s).toString() == u"closed"_s;
    const QJsonValue left = item.value(u"leftTime"_s);
    // Negative once the auction has closed, and as telling; no auction runs a
    // year, and an open one is not long past its end.
    const double seconds = left.toDouble();
    if (left.isDouble() && seconds <= double(kYearSeconds) && seconds >= -double(kYearSeconds)
        && (r.closed || seconds > -kOpenPastEndSeconds))
        r.serviceTime = end.addMSecs(-qint64(std::llround(seconds * 1000)));
    return true;
}

bool readPageData(QByteArrayView body, const QString &id, ItemDataReading &r)
{
    static constexpr QByteArrayView name = "var pageData";
    qsizetype i = body.indexOf(name);
    if (i < 0)
        return false;
    i += name.size();
    while (i < body.size() && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n'))
        ++i;
    if (i >= body.size() || body[i] != '=')
        return false;
    const qsizetype open = body.indexOf('{', i);
    if (open < 0)
        return false;
    const qsizetype end = jsonValueEnd(body, open);
    if (end < 0)
        return false;
    const QJsonObject data = parseJsonObject(body.sliced(open, end - open));

    // One item as an object, or a list of them.
    const QJsonValue items = data.value(u"items"_s);
    QJsonArray list;
    if (items.isArray())
        list = items.toArray();
    else if (items.isObject())
        list.append(items);
    for (const QJsonValue &v : std::as_const(list)) {
        const QJsonObject item = v.toObject();
        if (jsonText(item.value(u"productID"_s)) != id)
            continue;
        const QDateTime endAt = serviceIsoTime(item.value(u"endtime"_s).toString());
        if (!endAt.isValid())
            continue;
        r.source = ItemDataReading::Source::PageData;
        r.start = serviceIsoTime(item.value(u"starttime"_s).toString());
        r.end = endAt;
        r.exactSeconds = true;
        r.title = item.value(u"productName"_s).toString();
        r.closed = jsonText(item.value(u"isClosed"_s)) == u"1"_s;
        return true;
    }
    return false;
}

// The page's text with its tags and comments taken out, so that a row's
// label and its value stand side by side.
QString withoutTags(QStringView html)
{
    QString out;
    out.reserve(html.size() / 2);
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c != u'<') {
            out += c;
            ++i;
            continue;
        }
        if (html.sliced(i).startsWith(u"<!--")) {
            const qsizetype close = html.indexOf(u"-->", i + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        const qsizetype close = html.indexOf(u'>', i + 1);
        i = close < 0 ? html.size() : close + 1;
    }
    return out;
}

QDateTime visibleRow(const QString &text, const QString &label)
{
    // "2026年8月2日（日）23時3分" or the older "2021.10.15（金）19:54"; other
    // mentions of the label (a notice "登録すると終了日時や…") are passed over.
    const QRegularExpression re(QRegularExpression::escape(label)
        + uR"([\s　：:]*(\d{4})(?:年(\d{1,2})月(\d{1,2})日|\.(\d{1,2})\.(\d{1,2}))\s*[（(][^）)]{1,3}[）)]\s*(\d{1,2})(?:時(\d{1,2})分|:(\d{2})))"_s);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    const bool kanji = !m.captured(2).isEmpty();
    const QDate date(m.captured(1).toInt(), (kanji ? m.captured(2) : m.captured(4)).toInt(),
        (kanji ? m.captured(3) : m.captured(5)).toInt());
    const QTime time(
        m.captured(6).toInt(), (m.captured(7).isEmpty() ? m.captured(8) : m.captured(7)).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return inSlotCentury(japanDateTime(date, time));
}

bool readVisibleRows(QByteArrayView body, ItemDataReading &r)
{
    const QString text = withoutTags(QString::fromUtf8(body));
    const QDateTime end = visibleRow(text, u"終了日時"_s);
    if (!end.isValid())
        return false;
    r.source = ItemDataReading::Source::VisibleRows;
    r.start = visibleRow(text, u"開始日時"_s);
    r.end = end;
    r.exactSeconds = false;
    return true;
}

} // namespace

bool isYahooAuctionHost(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http"_s && scheme != u"https"_s)
        return false;
    static const QRegularExpression host(
        uR"(^(?:(?:page\d*\.)?auctions\.yahoo\.co\.jp)$)"_s, QRegularExpression::CaseInsensitiveOption);
    return host.match(url.host()).hasMatch();
}

QString yahooAuctionId(const QUrl &url)
{
    if (!isYahooAuctionHost(url))
        return QString();
    // .../auction/<id>: a list or search page has no single auction.
    const QStringList segments = url.path().split(u'/', Qt::SkipEmptyParts);
    if (segments.size() < 2 || segments.at(segments.size() - 2) != u"auction"_s)
        return QString();
    static const QRegularExpression id(uR"(^[A-Za-z0-9]+$)"_s);
    const QString last = segments.last();
    return id.match(last).hasMatch() ? last : QString();
}

ItemDataReading recognizeItemData(QByteArrayView utf8Body, const QUrl &url)
{
    ItemDataReading r;
    const QString id = yahooAuctionId(url);
    if (id.isEmpty())
        return r;
    if (readNextData(utf8Body, id, r) || readPageData(utf8Body, id, r) || readVisibleRows(utf8Body, r))
        return r;
    return ItemDataReading();
}
