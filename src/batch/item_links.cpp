#include "item_links.h"

#include "auction_timers.h"
#include "item_data_recognizer.h"

#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

const QString kItemHost = u"auctions.yahoo.co.jp"_s;

} // namespace

QList<LinkedAuction> linkedAuctions(const QStringList &links)
{
    static const QRegularExpression itemPath(uR"(/jp/auction/([A-Za-z0-9]+)/?$)"_s);
    QList<LinkedAuction> found;
    QSet<QString> seen;
    for (const QString &link : links) {
        QUrl url(link);
        if (!isYahooAuctionHost(url))
            continue;
        const QRegularExpressionMatch m = itemPath.match(url.path());
        if (!m.hasMatch())
            continue;
        const QString id = m.captured(1);
        if (seen.contains(id))
            continue;
        seen.insert(id);
        url.setQuery(QString());
        url.setFragment(QString());
        found.append({ id, url.adjusted(QUrl::StripTrailingSlash) });
    }
    return found;
}

QSet<QString> armedAuctionIds(const AuctionTimers &timers)
{
    QSet<QString> ids;
    for (int n = 1; n <= kSlotCount; ++n) {
        if (!timers.timer(n).isArmed())
            continue;
        const QList<LinkedAuction> a = linkedAuctions({ timers.timer(n).item().url });
        if (!a.isEmpty())
            ids.insert(a.first().id);
    }
    return ids;
}

bool isWatchListLoginWall(const QUrl &page, bool passwordField)
{
    static const QString watchList = u"/my/watchlist"_s;
    if (page.host().compare(u"login.yahoo.co.jp"_s, Qt::CaseInsensitive) == 0)
        return page.query(QUrl::FullyDecoded).contains(watchList);
    return passwordField && isYahooAuctionHost(page) && page.path().startsWith(watchList);
}

QUrl typedAuctionAddress(const QString &typed)
{
    const QString text = typed.normalized(QString::NormalizationForm_KC).trimmed();
    static const QRegularExpression id(uR"(^[A-Za-z0-9]+$)"_s);
    if (id.match(text).hasMatch())
        return QUrl(u"https://"_s + kItemHost + u"/jp/auction/"_s + text);
    if (text.contains(u' ') || !text.contains(u'.'))
        return QUrl();
    const QUrl url = QUrl::fromUserInput(text);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http"_s && scheme != u"https"_s))
        return QUrl();
    return url;
}
