#include "item_reads.h"

#include "auction_timer.h"
#include "log.h"
#include "page_recognizer.h"
#include "service_clock.h"
#include "service_time.h"
#include "time_text.h"

#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

// Where the older pages' <title> stands.
constexpr qsizetype kTitleBytes = 64 * 1024;

// The page's <title> in the page's own charset, for pages whose data gives
// no title of the item: the older pages name the item only there.
QString htmlTitle(const QByteArray &body)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Utf8);
    const QString text = decoder.decode(body.left(kTitleBytes));
    static const QRegularExpression title(uR"(<title[^>]*>(.*?)</title>)"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(text);
    if (!m.hasMatch())
        return QString();
    QString t = m.captured(1);
    t.replace(u"&amp;"_s, u"&"_s).replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s);
    t.replace(u"&quot;"_s, u"\""_s).replace(u"&#39;"_s, u"'"_s);
    return t.simplified();
}

QString whyUnreadable(const FetchResult &result)
{
    if (result.status == 0)
        return u"応答がありません"_s;
    return u"読み込めません（HTTP "_s + QString::number(result.status) + u"）"_s;
}

// `head` is the page's first bytes, for its <title>.
void judge(ItemRead &r, const QUrl &url, const FetchResult &result, const PageReading &page,
    const QByteArray &head, ServiceClock &clock)
{
    learnServiceTime(clock, url, result, page);
    r.item.start = page.start;
    r.item.end = page.end;
    r.item.endAt = page.endAt;
    r.item.price = page.price;
    r.item.bids = page.bids;
    if (!page.title.isEmpty()) {
        r.item.name = page.title;
    } else {
        const QString title = htmlTitle(head);
        r.item.name = Registration::itemName(title + u" - Larkvane"_s).value_or(title);
    }
    if (page.closed) {
        r.state = ItemRead::State::Closed;
        r.why = u"終了しました"_s;
    } else if (!page.complete || page.end.isEmpty() || !page.endAt.isValid()) {
        r.state = ItemRead::State::Unreadable;
        r.why = u"終了日時がわかりません"_s;
    } else if (secondsToCount(clock.now(url.host()), page.endAt) <= 0) {
        r.state = ItemRead::State::Closed;
        r.why = u"終了時刻を過ぎています"_s;
    } else {
        r.state = ItemRead::State::Open;
        // A slot without a name counts as free.
        if (r.item.name.isEmpty())
            r.item.name = r.id.isEmpty() ? r.item.url : r.id;
    }
}

} // namespace

ItemReads::ItemReads(ServiceClock &clock, PageFetcher &fetcher, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_fetcher(fetcher)
{
}

ItemReads::~ItemReads()
{
    for (PageFetcher::Id id : std::as_const(m_pending)) {
        if (id)
            m_fetcher.cancel(id);
    }
}

void ItemReads::read(BackgroundPageReader &reader, ServiceClock &clock, const LinkedAuction &auction,
    const FetchResult &result, Read done)
{
    ItemRead r;
    r.id = auction.id;
    r.item.url = auction.url.toString();
    if (!result.ok) {
        r.state = ItemRead::State::Unreadable;
        r.why = whyUnreadable(result);
        done(r);
        return;
    }
    const QUrl url = auction.url;
    reader.read(url, result, serviceToday(clock, url),
        [&clock, r, url, head = result.body.left(kTitleBytes), done = std::move(done)](
            const FetchResult &read, const PageReading &page) mutable {
            judge(r, url, read, page, head, clock);
            done(r);
        });
}

QList<ItemRead> ItemReads::unread(const QList<LinkedAuction> &auctions)
{
    QList<ItemRead> items;
    for (const LinkedAuction &a : auctions) {
        ItemRead r;
        r.id = a.id;
        r.item.url = a.url.toString();
        items.append(r);
    }
    return items;
}

QList<ItemRead> ItemReads::listed(const ListPageReading &list, ServiceClock &clock)
{
    QList<ItemRead> items;
    for (const ListedAuction &a : list.auctions) {
        ItemRead r;
        r.id = a.id;
        r.item.url = a.url.toString();
        r.item.name = a.title.isEmpty() ? a.id : a.title;
        if (a.end.isValid()) {
            r.item.start = u"N/A"_s;
            r.item.end = timeText(a.end);
            r.item.endAt = a.end;
        }
        // Without an end it waits for a read of its page.
        if (list.closed) {
            r.state = ItemRead::State::Closed;
            r.why = u"終了しました"_s;
        } else if (a.end.isValid() && secondsToCount(clock.now(a.url.host()), a.end) <= 0) {
            r.state = ItemRead::State::Closed;
            r.why = u"終了時刻を過ぎています"_s;
        } else if (a.end.isValid()) {
            r.state = ItemRead::State::Open;
        }
        items.append(r);
    }
    return items;
}

void ItemReads::start(const QList<ItemRead> &items)
{
    cancel();
    ++m_run;
    m_items = items.mid(0, kMaxItems);
    m_pending = QList<PageFetcher::Id>(m_items.size(), 0);
    m_next = 0;
    m_done = std::count_if(m_items.cbegin(), m_items.cend(),
        [](const ItemRead &r) { return r.state != ItemRead::State::Waiting; });
    qCInfo(lcBrowser) << "reading" << m_items.size() - m_done << "item pages of" << items.size() << "listed;"
                      << m_done << "known from the list";
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items[i].state != ItemRead::State::Waiting)
            Q_EMIT itemRead(int(i));
    }
    for (int i = 0; i < kAtOnce; ++i)
        startNext();
    if (!isRunning())
        Q_EMIT finished();
}

void ItemReads::startNext()
{
    while (m_next < m_items.size() && m_items[m_next].state != ItemRead::State::Waiting)
        ++m_next;
    if (m_next >= m_items.size())
        return;
    const qsizetype index = m_next++;
    const LinkedAuction auction { m_items[index].id, QUrl(m_items[index].item.url) };
    m_pending[index] = m_fetcher.fetch(auction.url, [this, index, auction](const FetchResult &result) {
        m_pending[index] = 0;
        read(m_reader, m_clock, auction, result, [this, index, run = m_run](const ItemRead &r) {
            if (run != m_run)
                return;
            m_items[index] = r;
            ++m_done;
            Q_EMIT itemRead(int(index));
            startNext();
            if (m_done == m_items.size())
                Q_EMIT finished();
        });
    });
}

void ItemReads::cancel()
{
    if (!isRunning())
        return;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_pending[i])
            m_fetcher.cancel(std::exchange(m_pending[i], 0));
        if (m_items[i].state == ItemRead::State::Waiting) {
            m_items[i].state = ItemRead::State::Cancelled;
            m_items[i].why = u"中止しました"_s;
        }
    }
    ++m_run;
    qCInfo(lcBrowser) << "item reads cancelled after" << m_done << "of" << m_items.size();
    m_next = m_done = m_items.size();
    Q_EMIT finished();
}
