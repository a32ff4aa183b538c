#include "extension_follower.h"

#include "clock.h"
#include "log.h"
#include "numeric.h"
#include "page_recognizer.h"
#include "persistence.h"
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

ExtensionFollower::ExtensionFollower(StateStore &store, Persistence &persistence, const Clock &clock,
    PageFetcher &fetcher, StatusLine &statusLine, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_persistence(persistence)
    , m_clock(clock)
    , m_fetcher(fetcher)
    , m_statusLine(statusLine)
{
    connect(&m_store, &StateStore::tick, this, &ExtensionFollower::onTick);
    connect(&m_store, &StateStore::armedChanged, this, &ExtensionFollower::onArmedChanged);
}

ExtensionFollower::~ExtensionFollower()
{
    for (int n = 1; n <= StateStore::kSlots; ++n)
        cancel(n);
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
    const QString ownLead = m_store.slotValue(u"reTime"_s, n);
    const double lead = numericValue(ownLead.isEmpty() ? m_store.value(u"infotime"_s) : ownLead);
    if (double(left) > lead)
        f.alertAhead = true;
    if (left <= 0)
        return;

    const QDateTime now = m_clock.now();
    const bool atAlert = f.alertAhead && double(left) <= lead;
    const bool periodic
        = left <= kFollowSeconds && (!f.lastFetch.isValid() || f.lastFetch.secsTo(now) >= kIntervalSeconds);
    if ((!atAlert && !periodic) || f.pending)
        return;

    if (atAlert)
        f.alertAhead = false;
    qCInfo(lcBrowser).nospace().noquote() << "slot " << n << ": reading its page again for a changed end, "
                                          << left << " s left" << (atAlert ? " (at the alert)" : "");
    f.lastFetch = now;
    f.url = url;
    f.pending = m_fetcher.fetch(QUrl(url), [this, n, url](const FetchResult &result) {
        m_follow[n - 1].pending = 0;
        onFetched(n, url, result);
    });
}

void ExtensionFollower::onFetched(int n, const QString &url, const FetchResult &result)
{
    if (!result.ok || !m_store.isArmed(n) || m_store.slotValue(u"URL"_s, n) != url) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": page not used"
            << (result.ok ? ", the slot changed meanwhile" : ", the fetch failed");
        return;
    }
    const QDateTime now = m_clock.now();
    const QDate today = now.toOffsetFromUtc(kJapanOffsetSeconds).date();
    const PageReading page = recognizePage(result.text(), result.body, QUrl(url), today);

    const qint64 elapsed = wholeValue(m_store.slotValue(u"st"_s, n));
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
        Q_EMIT slotEndedEarly(n);
        return;
    }
    if (!page.complete || page.end.isEmpty() || !page.endAt.isValid()) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": no end time on the page read again; the end stays "
            << m_store.slotValue(u"EndTime"_s, n);
        return;
    }

    // Later by the minute, as the slot's end text counts, so that the seconds
    // a minute-exact reading drops never pass for an extension.
    const QDateTime known = parseTimeText(m_store.slotValue(u"EndTime"_s, n));
    const QDateTime found = parseTimeText(page.end);
    if (!known.isValid() || !found.isValid() || found <= known) {
        qCInfo(lcBrowser).nospace().noquote() << "slot " << n << ": end unchanged (" << page.end << ")";
        return;
    }
    const qint64 total = wholeValue(m_store.slotValue(u"ed"_s, n));
    const qint64 leftNow = total - elapsed;
    const qint64 leftNew = now.secsTo(page.endAt);
    if (leftNew <= leftNow) {
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n << ": the page gives " << page.end << ", yet no more time (" << leftNew
            << " s against " << leftNow << " s counted)";
        return;
    }

    m_store.setSlotValue(u"ed"_s, n, QString::number(total + (leftNew - leftNow)));
    qCInfo(lcBrowser).nospace().noquote()
        << "slot " << n << ": extended from " << m_store.slotValue(u"EndTime"_s, n) << " to " << page.end
        << ", " << (leftNew - leftNow) << " s more";
    m_store.setSlotValue(u"EndTime"_s, n, page.end);
    m_persistence.save();
    const QString text = u"終了時間が延長されました（"_s + page.end + u"）"_s;
    m_statusLine.setText(text);
    Q_EMIT notification(text);
}
