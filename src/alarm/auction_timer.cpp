#include "auction_timer.h"

#include "display_text.h"
#include "numeric.h"
#include "settings_fields.h"
#include "state_store.h"

#include <QStringList>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

QString AuctionItem::auctionId() const
{
    const QString path = QUrl(url).path();
    return path.section(u'/', -1, -1, QString::SectionSkipEmpty);
}

QString AuctionItem::displayName() const
{
    return displayText(title, auctionId());
}

bool AuctionItem::isOnTheWeb() const
{
    return url.startsWith(u"http://"_s) || url.startsWith(u"https://"_s);
}

qint64 secondsToCount(const QDateTime &now, const QDateTime &end)
{
    return now.addMSecs(-now.time().msec()).secsTo(end);
}

QString yenText(qint64 yen)
{
    QString digits = QString::number(yen);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits + u"円"_s;
}

QString bidsText(qint64 bids)
{
    return QString::number(bids) + u"件"_s;
}

QString priceLine(const AuctionItem &item)
{
    QStringList parts;
    if (item.price >= 0)
        parts << u"現在 "_s + yenText(item.price);
    if (item.bids >= 0)
        parts << u"入札 "_s + bidsText(item.bids);
    return parts.join(u'・');
}

AuctionTimer::AuctionTimer(int number, const StateStore &settings, const SteadyClock &steady)
    : m_number(number)
    , m_settings(settings)
    , m_steady(steady)
{
}

AuctionTimer::State AuctionTimer::state() const
{
    switch (m_life) {
    case Life::Free:
        return State::Free;
    case Life::Ended:
        return State::Ended;
    case Life::Armed:
        break;
    }
    if (waitsAtEnd() && secondsLeft() <= 0)
        return State::Waiting;
    return m_alerted ? State::Alerted : State::Counting;
}

double AuctionTimer::lead() const
{
    return numericValue(m_ownLead.isEmpty() ? m_settings.value(Setting::kLeadSeconds) : m_ownLead);
}

qint64 AuctionTimer::dueTicks() const
{
    if (m_life != Life::Armed || m_armedAtMs < 0)
        return 0;
    return std::max<qint64>(0, (m_steady() - m_armedAtMs) / 1000 - m_ticksRun);
}

qint64 AuctionTimer::secondsLeft() const
{
    const qint64 counted = m_left - dueTicks();
    // A count that ends at 0 runs no further; one that waits there stays.
    return std::max(counted, std::min<qint64>(m_left, 0));
}

qint64 AuctionTimer::endDueMs() const
{
    if (m_life != Life::Armed)
        return -1;
    return m_armedAtMs + 1000 * (m_ticksRun + std::max<qint64>(m_left, 0));
}

SlotRecord AuctionTimer::record() const
{
    if (isFree())
        return {};
    const auto known = [](qint64 v) { return v >= 0 ? QString::number(v) : QString(); };
    return { m_item.title, m_item.start, m_endText, m_item.url, m_ownLead, known(m_item.price),
        known(m_item.bids) };
}
