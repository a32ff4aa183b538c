#include "list_page.h"

#include "item_data_recognizer.h"
#include "item_links.h"
#include "page_data.h"

#include <QHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStringDecoder>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

bool isFleaMarketLink(const QUrl &url)
{
    const QString host = url.host().toLower();
    return host == u"paypayfleamarket.yahoo.co.jp"_s || host.endsWith(u".paypayfleamarket.yahoo.co.jp"_s);
}

QString withoutEntities(QString text)
{
    if (!text.contains(u'&'))
        return text;
    static const QRegularExpression numeric(uR"(&#(x[0-9A-Fa-f]{1,6}|[0-9]{1,7});)"_s);
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = numeric.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).sliced(from, m.capturedStart() - from);
        const QString digits = m.captured(1);
        bool ok = false;
        const uint code = digits.startsWith(u'x') ? digits.mid(1).toUInt(&ok, 16) : digits.toUInt(&ok);
        if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            const char32_t c = code;
            out += QString::fromUcs4(&c, 1);
        }
        from = m.capturedEnd();
    }
    out += QStringView(text).sliced(from);
    // &amp; last, so that "&amp;lt;" stays "&lt;".
    out.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s).replace(u"&quot;"_s, u"\""_s);
    out.replace(u"&apos;"_s, u"'"_s).replace(u"&nbsp;"_s, u" "_s).replace(u"&amp;"_s, u"&"_s);
    return out;
}

// The attributes of the start tags of one card, by tag.
using Attributes = QHash<QString, QString>;

QList<Attributes> tagsOf(QStringView card)
{
    static const QRegularExpression tag(uR"re(<[A-Za-z][A-Za-z0-9]*\b((?:[^>"']|"[^"]*"|'[^']*')*)>)re"_s);
    static const QRegularExpression attribute(
        uR"re(([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'))re"_s);
    QList<Attributes> tags;
    for (QRegularExpressionMatchIterator t = tag.globalMatch(card); t.hasNext();) {
        Attributes a;
        const QString inside = t.next().captured(1);
        for (QRegularExpressionMatchIterator m = attribute.globalMatch(inside); m.hasNext();) {
            const QRegularExpressionMatch v = m.next();
            const QString name = v.captured(1).toLower();
            if (!a.contains(name))
                a.insert(name, withoutEntities(v.capturedLength(2) ? v.captured(2) : v.captured(3)));
        }
        if (!a.isEmpty())
            tags.append(a);
    }
    return tags;
}

// What an auction id may be: it becomes part of an address.
bool isAuctionId(const QString &id)
{
    static const QRegularExpression re(uR"(^[A-Za-z0-9]+$)"_s);
    return re.match(id).hasMatch();
}

QUrl itemPage(const QString &id)
{
    return QUrl(u"https://auctions.yahoo.co.jp/jp/auction/"_s + id);
}

// One search card: an <li class="Product"> whose parts name the same auction.
// Other parts of the page (the browsing history) name auctions too, but not
// as cards.
std::optional<ListedAuction> readCard(QStringView card, const QUrl &page)
{
    QString id;
    ListedAuction a;
    for (const Attributes &tag : tagsOf(card)) {
        const QUrl href = tag.contains(u"href"_s) ? page.resolved(QUrl(tag.value(u"href"_s))) : QUrl();
        if (isFleaMarketLink(href))
            return std::nullopt;
        const QString tagId = tag.value(u"data-auction-id"_s);
        if (tagId.isEmpty())
            continue;
        if (id.isEmpty())
            id = tagId;
        else if (tagId != id)
            continue;
        if (tag.value(u"data-auction-isflea"_s) == u"1"_s)
            return std::nullopt;
        if (a.title.isEmpty())
            a.title = tag.value(u"data-auction-title"_s);
        if (!a.end.isValid())
            a.end = serviceEpochTime(tag.value(u"data-auction-endtime"_s));
        if (a.url.isEmpty() && href.isValid()) {
            const QList<LinkedAuction> linked = linkedAuctions({ href.toString() });
            if (!linked.isEmpty() && linked.first().id == id)
                a.url = linked.first().url;
        }
    }
    if (!isAuctionId(id))
        return std::nullopt;
    a.id = id;
    if (a.url.isEmpty())
        a.url = itemPage(id);
    return a;
}

bool readCards(QStringView text, const QUrl &page, ListPageReading &r)
{
    static const QRegularExpression cardStart(
        uR"re(<li\s[^>]*\bclass\s*=\s*"(?:[^"]*\s)?Product(?:\s[^"]*)?")re"_s);
    QList<qsizetype> starts;
    for (QRegularExpressionMatchIterator it = cardStart.globalMatch(text); it.hasNext();)
        starts.append(it.next().capturedStart());
    for (qsizetype i = 0; i < starts.size(); ++i) {
        qsizetype end = i + 1 < starts.size() ? starts[i + 1] : text.indexOf(u"</ul>", starts[i]);
        if (end < 0)
            end = text.size();
        if (const std::optional<ListedAuction> card = readCard(text.sliced(starts[i], end - starts[i]), page))
            r.auctions.append(*card);
    }
    return !starts.isEmpty();
}

bool readListing(QByteArrayView body, ListPageReading &r)
{
    const QJsonValue items = jsonAt(nextDataObject(body),
        { u"props"_s, u"pageProps"_s, u"initialState"_s, u"search"_s, u"items"_s, u"listing"_s, u"items"_s });
    if (!items.isArray())
        return false;
    for (const QJsonValue &v : items.toArray()) {
        const QJsonObject item = v.toObject();
        const QString id = jsonText(item.value(u"auctionId"_s));
        if (!isAuctionId(id) || item.value(u"isFleamarketItem"_s).toBool())
            continue;
        r.auctions.append({ id, itemPage(id), item.value(u"title"_s).toString(),
            serviceIsoTime(item.value(u"endTime"_s).toString()) });
    }
    return true;
}

// Each auction once, where it is first listed (promoted cards repeat one),
// with what any of its mentions says.
QList<ListedAuction> eachOnce(const QList<ListedAuction> &all)
{
    QList<ListedAuction> once;
    QHash<QString, qsizetype> at;
    for (const ListedAuction &a : all) {
        const auto seen = at.constFind(a.id);
        if (seen == at.constEnd()) {
            at.insert(a.id, once.size());
            once.append(a);
            continue;
        }
        ListedAuction &first = once[*seen];
        if (first.title.isEmpty())
            first.title = a.title;
        if (!first.end.isValid())
            first.end = a.end;
    }
    return once;
}

} // namespace

ListPageReading readListPage(QByteArrayView body, const QUrl &url)
{
    ListPageReading r;
    if (!isYahooAuctionHost(url) || !yahooAuctionId(url).isEmpty())
        return r;
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Utf8);
    const QString text = decoder.decode(body);
    const bool cards = readCards(text, url, r);
    const bool listing = readListing(body, r);
    r.isList = cards || listing;
    r.closed = url.path().startsWith(u"/closedsearch"_s);
    r.auctions = eachOnce(r.auctions);
    return r;
}
