#include "service_clock.h"

#include "log.h"

#include <cstdlib>

using namespace Qt::StringLiterals;

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

std::optional<qint64> ServiceClock::offsetMs(const QString &host) const
{
    const auto it = m_reads.constFind(host.toLower());
    if (it == m_reads.constEnd())
        return std::nullopt;
    const Read *best = nullptr;
    for (const Read &r : *it) {
        // A page's own figure beats any Date header, whatever their round trips.
        if (!best || (r.source == Source::PageData && best->source != Source::PageData)
            || (r.source == best->source && r.roundTripMs < best->roundTripMs))
            best = &r;
    }
    return best ? std::optional<qint64>(best->offsetMs) : std::nullopt;
}

QString ServiceClock::noticeText(qint64 offsetMs)
{
    const qint64 seconds = (std::llabs(offsetMs) + 500) / 1000;
    return u"パソコンの時計がオークションの時計と "_s + QString::number(seconds)
        + u" 秒ずれています。タイマーはオークションの時計で数えます。"_s;
}

void ServiceClock::learn(const QString &host, const QDateTime &serviceTime, qint64 roundTripMs, Source source)
{
    if (host.isEmpty() || !serviceTime.isValid() || roundTripMs < 0)
        return;
    // The service made the reply somewhere within the round trip: the middle
    // is the guess whose error is smallest at worst.
    const QDateTime middle = m_local.now().addMSecs(-roundTripMs / 2);
    const qint64 offset = middle.msecsTo(serviceTime);
    QList<Read> &reads = m_reads[host.toLower()];
    reads.append({ offset, roundTripMs, source });
    if (reads.size() > kReadsKept)
        reads.removeFirst();
    m_lastHost = host.toLower();

    const qint64 best = *offsetMs(host);
    qCDebug(lcBrowser).nospace() << "clock of " << host << ": " << offset << " ms from ours by a read of "
                                 << roundTripMs << " ms ("
                                 << (source == Source::PageData ? "page" : "Date header")
                                 << "); taken: " << best << " ms";
    if (std::llabs(best) < kNoticeMs || (m_told && std::llabs(best - *m_told) < kNoticeMs))
        return;
    m_told = best;
    const QString text = noticeText(best);
    qCInfo(lcBrowser).noquote() << "the clock of" << host << "runs" << best
                                << "ms from this machine's:" << text;
    Q_EMIT offsetNoticed(text);
}
