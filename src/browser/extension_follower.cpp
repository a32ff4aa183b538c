#include "extension_follower.h"

#include "log.h"
#include "numeric.h"
#include "page_recognizer.h"
#include "persistence.h"
#include "service_clock.h"
#include "service_time.h"
#include "slot.h"
#include "state_store.h"
#include "status_line.h"
#include "time_text.h"

#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

bool isWebAddress(const QString &url)
{
    return url.startsWith(u"http://"_s) || url.startsWith(u"https://"_s);
}

qint64 wholeValue(const QString &text)
{
    const double v = numericValue(text);
    return std::isfinite(v) ? qint64(std::floor(v)) : 0;
}

} // namespace

ExtensionFollower::ExtensionFollower(StateStore &store, Persistence &persistence, ServiceClock &clock,
    PageFetcher &fetcher, StatusLine &statusLine, SteadyClock steady, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_persistence(persistence)
    , m_clock(clock)
    , m_fetcher(fetcher)
    , m_statusLine(statusLine)
    , m_steady(std::move(steady))
{
    connect(&m_store, &StateStore::tick, this, &ExtensionFollower::onTick);
    connect(&m_store, &StateStore::armedChanged, this, &ExtensionFollower::onArmedChanged);
}

ExtensionFollower::~ExtensionFollower()
{
    for (int n = 1; n <= StateStore::kSlots; ++n)
        cancel(n);
}

bool ExtensionFollower::holdsAtEnd(int n) const
{
    return n >= 1 && n <= StateStore::kSlots && isWebAddress(m_store.slotValue(u"URL"_s, n));
}

double ExtensionFollower::nextReadLeft(int n, double left) const
{
    if (!holdsAtEnd(n) || !m_store.isArmed(n))
        return -1;
    const Follow &f = m_follow[n - 1];
    // A read in flight may hold up one that falls due meanwhile; and the
    // first read waits for nothing.
    if (f.pending || (!f.read && !m_clock.offsetMs(QUrl(m_store.slotValue(u"URL"_s, n)).host())))
        return left - 1;
    double next = -1;
    const auto consider = [&](double at) {
        if (at < left)
            next = std::max(next, at);
    };
    consider(f.lastReadLeft == kNever ? kFollowSeconds : double(f.lastReadLeft - kIntervalSeconds));
    for (const int last : kLastReads) {
        if (f.lastReadLeft > last)
            consider(last);
    }
    return next;
}

void ExtensionFollower::cancel(int n)
{
    Follow &f = m_follow[n - 1];
    if (f.pending)
        m_fetcher.cancel(f.pending);
    f = Follow();
}

void ExtensionFollower::onArmedChanged(int n, bool armed)
{
    if (n < 1 || n > StateStore::kSlots)
        return;
    // Disarmed, or armed anew for another item: the old reading is no use.
    cancel(n);
    Q_UNUSED(armed);
}

void ExtensionFollower::onTick(int n)
{
    if (n < 1 || n > StateStore::kSlots || !m_store.isArmed(n))
        return;
    const QString url = m_store.slotValue(u"URL"_s, n);
    Follow &f = m_follow[n - 1];
    if (f.pending && f.url != url)
        cancel(n);
    if (!isWebAddress(url))
        return;

    const qint64 left = wholeValue(m_store.slotValue(u"ed"_s, n)) - wholeValue(m_store.slotValue(u"st"_s, n));
    if (double(left) > Slot(m_store, n).lead())
        f.alertAhead = true;

    if (left <= 0) {
        const qint64 now = m_steady();
        if (f.waitingSinceMs < 0) {
            f.waitingSinceMs = now;
            f.lastWaitReadMs = -1;
            qCInfo(lcBrowser).nospace()
                << "slot " << n << ": its count has run out; waiting for its page to say the end";
        }
        if (now - f.waitingSinceMs >= kEndWaitSeconds * 1000) {
            qCInfo(lcBrowser).nospace() << "slot " << n << ": no answer in " << kEndWaitSeconds
                                        << " s says whether the auction went on; ending the slot";
            cancel(n);
            Q_EMIT slotEnded(n);
            return;
        }
        if (!f.pending && (f.lastWaitReadMs < 0 || now - f.lastWaitReadMs >= kEndReadSeconds * 1000)) {
            f.lastWaitReadMs = now;
            read(n, url, "at its end");
        }
        return;
    }
    f.waitingSinceMs = -1;
    if (f.pending)
        return;

    const bool atAlert = f.alertAhead && double(left) <= Slot(m_store, n).lead();
    if (!f.read && !m_clock.offsetMs(QUrl(url).host())) {
        read(n, url, "to learn its service's clock");
    } else if (atAlert) {
        f.alertAhead = false;
        read(n, url, "at the alert");
    } else if (left <= kFollowSeconds && f.lastReadLeft - left >= kIntervalSeconds) {
        read(n, url, "in its last minutes");
    } else {
        for (const int last : kLastReads) {
            if (left <= last && f.lastReadLeft > last) {
                read(n, url, "just before its end");
                break;
            }
        }
    }
}

void ExtensionFollower::read(int n, const QString &url, const char *why)
{
    Follow &f = m_follow[n - 1];
    const qint64 left = wholeValue(m_store.slotValue(u"ed"_s, n)) - wholeValue(m_store.slotValue(u"st"_s, n));
    qCInfo(lcBrowser).nospace().noquote()
        << "slot " << n << ": reading its page again " << why << ", " << left << " s left";
    f.read = true;
    f.lastReadLeft = left;
    f.url = url;
    f.pending = m_fetcher.fetch(QUrl(url), [this, n, url](const FetchResult &result) {
        m_follow[n - 1].pending = 0;
        onFetched(n, url, result);
    });
}

void ExtensionFollower::setLeft(int n, qint64 left)
{
    m_store.setSlotValue(u"ed"_s, n, QString::number(wholeValue(m_store.slotValue(u"st"_s, n)) + left));
}

void ExtensionFollower::onFetched(int n, const QString &url, const FetchResult &result)
{
    if (m_countSync)
        m_countSync(n);
    if (!result.ok || !m_store.isArmed(n) || m_store.slotValue(u"URL"_s, n) != url) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": page not used"
            << (result.ok ? ", the slot changed meanwhile" : ", the fetch failed");
        return;
    }
    const QUrl pageUrl(url);
    const PageReading page = readFetchedPage(m_clock, pageUrl, result);
    const QDateTime now = m_clock.now(pageUrl.host());

    const qint64 elapsed = wholeValue(m_store.slotValue(u"st"_s, n));
    const qint64 counted = wholeValue(m_store.slotValue(u"ed"_s, n)) - elapsed;
    if (page.closed) {
        // As at its end: no seconds left, and an end that has passed, so that
        // a restart does not arm it again.
        const QString ended
            = page.endAt.isValid() && page.endAt <= now ? timeText(page.endAt) : timeText(now);
        m_store.setSlotValue(u"EndTime"_s, n, ended);
        m_store.setSlotValue(u"ed"_s, n, QString::number(elapsed));
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": the page says the auction has ended (" << ended << "); ending the slot now";
        m_persistence.save();
        Q_EMIT slotEnded(n);
        return;
    }
    if (!page.complete || page.end.isEmpty() || !page.endAt.isValid()) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": no end time on the page read again; the end stays "
            << m_store.slotValue(u"EndTime"_s, n);
        return;
    }

    // Whole seconds from the service's last whole second, as the count
    // meets them on its ticks.
    const qint64 trueLeft = now.addMSecs(-now.time().msec()).secsTo(page.endAt);
    // Later by the minute, as the slot's end text counts, so that the seconds
    // a minute-exact reading drops never pass for an extension.
    const QDateTime known = parseTimeText(m_store.slotValue(u"EndTime"_s, n));
    const QDateTime found = parseTimeText(page.end);
    const bool later = known.isValid() && found.isValid() && found > known;

    if (later && trueLeft > counted) {
        setLeft(n, trueLeft);
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": extended from " << m_store.slotValue(u"EndTime"_s, n) << " to " << page.end
            << ", " << trueLeft << " s left on the service's clock";
        m_store.setSlotValue(u"EndTime"_s, n, page.end);
        m_follow[n - 1].lastReadLeft = trueLeft;
        // Its lead is ahead again: read there too.
        if (double(trueLeft) > Slot(m_store, n).lead())
            m_follow[n - 1].alertAhead = true;
        m_persistence.save();
        const QString text = u"終了時間が延長されました（"_s + page.end + u"）"_s;
        m_statusLine.setText(text);
        Q_EMIT notification(text, n);
        return;
    }
    if (counted <= 0) {
        // Waiting at the end: the page decides.
        if (trueLeft > 0) {
            setLeft(n, trueLeft);
            qCInfo(lcBrowser).nospace()
                << "slot " << n << ": on the service's clock " << trueLeft << " s are left yet; counting on";
            return;
        }
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": the page gives the end " << page.end << ", passed on the service's clock";
        Q_EMIT slotEnded(n);
        return;
    }
    if (later) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": the page gives " << page.end << ", yet no more time (" << trueLeft
            << " s against " << counted << " s counted)";
        return;
    }
    // Only the same end to the second can set the count right; an earlier
    // end is no auction's rule, and a minute-exact one is no measure.
    if (found == known && page.exactSeconds && std::abs(trueLeft - counted) >= kCorrectionSeconds) {
        setLeft(n, trueLeft);
        qCInfo(lcBrowser).nospace() << "slot " << n << ": " << trueLeft
                                    << " s left on the service's clock, not " << counted
                                    << "; counting from there";
        return;
    }
    qCInfo(lcBrowser).nospace().noquote() << "slot " << n << ": end unchanged (" << page.end << ")";
}
