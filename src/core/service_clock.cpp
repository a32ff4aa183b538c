#include "service_clock.h"

#include "log.h"

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {
void keepLast(auto &list, qsizetype n)
{
    while (list.size() > n)
        list.removeFirst();
}
} // namespace

ServiceClock::ServiceClock(const Clock &local, QObject *parent)
    : QObject(parent)
    , m_local(local)
{
}

QDateTime ServiceClock::now() const
{
    return now(m_lastHost);
}

QDateTime ServiceClock::now(const QString &host) const
{
    return m_local.now().addMSecs(offsetMs(host).value_or(0));
}

const ServiceClock::Read *ServiceClock::best(const QList<Read> &reads)
{
    const Read *best = nullptr;
    for (const Read &r : reads) {
        if (!best || (r.source == Source::PageData && best->source != Source::PageData)
            || (r.source == best->source && r.roundTripMs < best->roundTripMs))
            best = &r;
    }
    return best;
}

bool ServiceClock::shown(const Host &h)
{
    return h.taken.size() > 1 || (h.taken.size() == 1 && h.taken.first().vouched);
}

bool ServiceClock::agree(qint64 a, qint64 b)
{
    return std::llabs(a - b) <= kAgreeMs;
}

std::optional<qint64> ServiceClock::offsetMs(const QString &host) const
{
    const auto it = m_hosts.constFind(host.toLower());
    const Read *r = it == m_hosts.constEnd() ? nullptr : best(it->taken);
    return r ? std::optional<qint64>(r->offsetMs) : std::nullopt;
}

QString ServiceClock::noticeText(qint64 offsetMs)
{
    const qint64 seconds = (std::llabs(offsetMs) + 500) / 1000;
    return u"パソコンの時計がオークションの時計と "_s + QString::number(seconds)
        + u" 秒ずれています。タイマーはオークションの時計で数えます。"_s;
}

void ServiceClock::learn(const QString &hostName, const Reply &reply)
{
    if (hostName.isEmpty() || reply.roundTripMs < 0)
        return;
    // The service made the reply somewhere within the round trip: the middle
    // is the guess whose error is smallest at worst.
    const QDateTime middle = m_local.now().addMSecs(-reply.roundTripMs / 2);
    std::optional<qint64> page;
    std::optional<qint64> header;
    if (reply.pageTime.isValid())
        page = middle.msecsTo(reply.pageTime);
    if (reply.headerTime.isValid())
        header = middle.msecsTo(reply.headerTime);
    if (!page && !header)
        return;
    const QString key = hostName.toLower();
    if (page && header && !agree(*page, *header)) {
        qCInfo(lcBrowser).nospace() << "a page of " << hostName << " puts the service's clock " << *page
                                    << " ms from ours, its reply " << *header
                                    << " ms: the page is an old copy and not believed";
        page.reset();
    }
    const Read r = page ? Read { *page, reply.roundTripMs, Source::PageData, header.has_value() }
                        : Read { *header, reply.roundTripMs, Source::DateHeader, true };
    Host &h = m_hosts[key];
    take(h, r);
    m_lastHost = key;

    const qint64 taken = best(h.taken)->offsetMs;
    qCDebug(lcBrowser).nospace() << "clock of " << hostName << ": " << r.offsetMs
                                 << " ms from ours by a read of " << r.roundTripMs << " ms ("
                                 << (r.source == Source::PageData ? "page" : "Date header")
                                 << "); taken: " << taken << " ms";
    // One page alone shows only what it says; the machine's clock is blamed
    // when a second witness says the same.
    if (!shown(h) || std::llabs(taken) < kNoticeMs || (m_told && std::llabs(taken - *m_told) < kNoticeMs))
        return;
    m_told = taken;
    const QString text = noticeText(taken);
    qCInfo(lcBrowser).noquote() << "the clock of" << hostName << "runs" << taken
                                << "ms from this machine's:" << text;
    Q_EMIT offsetNoticed(text);
}

void ServiceClock::take(Host &h, const Read &r)
{
    const Read *taken = best(h.taken);
    // A lone unvouched page gives way to the first reading with a witness.
    if (!taken || (!shown(h) && r.vouched)) {
        h.taken = { r };
        h.apart.clear();
        return;
    }
    if (agree(r.offsetMs, taken->offsetMs)) {
        h.taken.append(r);
        keepLast(h.taken, kReadsKept);
        h.apart.clear();
        return;
    }
    h.apart.append(r);
    keepLast(h.apart, kReadsKept);
    // Every reading of a host saying the same new thing: one of the clocks
    // was set meanwhile.
    QList<Read> together;
    for (const Read &a : std::as_const(h.apart)) {
        if (agree(a.offsetMs, r.offsetMs))
            together.append(a);
    }
    if (together.size() >= kReadsToMove) {
        qCInfo(lcBrowser).nospace() << together.size() << " readings agree on " << r.offsetMs
                                    << " ms, no longer " << taken->offsetMs << " ms: the clock moves";
        h.taken = together;
        h.apart.clear();
        return;
    }
    qCInfo(lcBrowser).nospace() << "a reading puts the service's clock " << r.offsetMs
                                << " ms from ours against " << taken->offsetMs
                                << " ms agreed: not taken unless others say the same";
}
