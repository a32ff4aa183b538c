#include "extension_follower.h"

#include "auction_timer.h"
#include "log.h"
#include "page_recognizer.h"
#include "service_clock.h"
#include "time_text.h"

#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// The counts at which every page is read on its way to the end, highest first.
QList<qint64> endPoints()
{
    QList<qint64> points;
    for (qint64 left = ExtensionFollower::kFollowSeconds; left > 0;
         left -= ExtensionFollower::kIntervalSeconds)
        points << left;
    for (const int last : ExtensionFollower::kLastReads)
        points << last;
    return points;
}

QDateTime toTheMinute(const QDateTime &t)
{
    return t.addSecs(-t.time().second()).addMSecs(-t.time().msec());
}

} // namespace

ExtensionFollower::ExtensionFollower(
    ServiceClock &clock, PageFetcher &fetcher, SteadyClock steady, Answer answer)
    : m_clock(clock)
    , m_fetcher(fetcher)
    , m_steady(std::move(steady))
    , m_answer(std::move(answer))
{
}

ExtensionFollower::~ExtensionFollower()
{
    for (Follow &f : m_follow)
        cancel(f);
}

void ExtensionFollower::cancel(Follow &f)
{
    if (f.pending)
        m_fetcher.cancel(f.pending);
    f = Follow();
}

void ExtensionFollower::armed(const AuctionTimer &t)
{
    Follow &f = m_follow[t.number() - 1];
    cancel(f);
    // Whoever armed it has just read its page (a registration) or will read
    // it on the first step (start-up, where the service's clock is unknown).
    f.lastReadLeft = t.secondsLeft();
}

void ExtensionFollower::forget(int n)
{
    cancel(m_follow[n - 1]);
}

void ExtensionFollower::countMoved(const AuctionTimer &t)
{
    m_follow[t.number() - 1].lastReadLeft = t.secondsLeft();
}

QList<qint64> ExtensionFollower::readingPoints(const AuctionTimer &t) const
{
    static const QList<qint64> end = endPoints();
    QList<qint64> points = end;
    // A reminder says what the auction costs just then; one after the lead
    // is none.
    for (const qint64 r : m_reminders) {
        if (double(r) > t.lead())
            points << r + kReminderReadSeconds;
    }
    std::sort(points.begin(), points.end(), std::greater<>());
    return points;
}

const char *ExtensionFollower::readDue(
    const AuctionTimer &t, const Follow &f, qint64 left, bool alerting) const
{
    if (!f.read && !m_clock.offsetMs(QUrl(t.item().url).host()))
        return "to learn its service's clock";
    if (alerting)
        return "at the alert";
    for (const qint64 at : readingPoints(t)) {
        if (left <= at && f.lastReadLeft > at)
            return at > kFollowSeconds    ? "for a reminder"
                : at > kLastReads.front() ? "in its last minutes"
                                          : "just before its end";
    }
    return nullptr;
}

bool ExtensionFollower::step(const AuctionTimer &t, bool alerting)
{
    if (!t.waitsAtEnd() || !t.isArmed())
        return false;
    Follow &f = m_follow[t.number() - 1];
    const qint64 left = t.secondsLeft();
    if (left <= 0) {
        const qint64 now = m_steady();
        if (f.waitingSinceMs < 0) {
            f.waitingSinceMs = now;
            f.lastWaitReadMs = -1;
            qCInfo(lcAlarm).nospace()
                << "slot " << t.number() << ": its count has run out; waiting for its page to say the end";
        }
        if (now - f.waitingSinceMs >= kEndWaitSeconds * 1000) {
            qCInfo(lcAlarm).nospace() << "slot " << t.number() << ": no answer in " << kEndWaitSeconds
                                      << " s says whether the auction went on; ending the slot";
            cancel(f);
            return true;
        }
        if (!f.pending && (f.lastWaitReadMs < 0 || now - f.lastWaitReadMs >= kEndReadSeconds * 1000)) {
            f.lastWaitReadMs = now;
            read(t, "at its end");
        }
        return false;
    }
    f.waitingSinceMs = -1;
    // A read in flight answers for the one that falls due meanwhile.
    if (f.pending)
        return false;
    if (const char *why = readDue(t, f, left, alerting))
        read(t, why);
    return false;
}

qint64 ExtensionFollower::secondsToNextRead(const AuctionTimer &t) const
{
    if (!t.waitsAtEnd() || !t.isArmed())
        return -1;
    const Follow &f = m_follow[t.number() - 1];
    const qint64 left = t.secondsLeft();
    if (left <= 0)
        return 1;
    // Held up by a read in flight: the next second may take it.
    if (readDue(t, f, left, false))
        return 1;
    for (const qint64 at : readingPoints(t)) {
        if (at < left)
            return left - at;
    }
    return -1;
}

void ExtensionFollower::read(const AuctionTimer &t, const char *why)
{
    const int n = t.number();
    Follow &f = m_follow[n - 1];
    const qint64 left = t.secondsLeft();
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << ": reading its page again " << why << ", " << left << " s left";
    f.read = true;
    f.lastReadLeft = left;
    const QString url = t.item().url;
    const quint64 generation = t.generation();
    f.pending = m_fetcher.fetch(QUrl(url), [this, n, generation, url](const FetchResult &result) {
        m_follow[n - 1].pending = 0;
        m_answer(n, generation, url, result);
    });
}

ExtensionFollower::Verdict ExtensionFollower::weigh(
    const AuctionTimer &t, const PageReading &page, const QDateTime &now)
{
    using Kind = Verdict::Kind;
    const int n = t.number();
    const qint64 counted = t.secondsLeft();
    if (page.closed) {
        // As at its end: an end that has passed, so that a restart does not
        // arm it again.
        const QDateTime ended = page.endAt.isValid() && page.endAt <= now ? page.endAt : now;
        qCInfo(lcAlarm).nospace().noquote() << "slot " << n << ": the page says the auction has ended ("
                                            << timeText(ended) << "); ending the slot now";
        return { Kind::Closed, 0, ended, timeText(ended) };
    }
    if (!page.complete || page.end.isEmpty() || !page.endAt.isValid()) {
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << n << ": no end time on the page read again; the end stays " << t.endText();
        return {};
    }

    const qint64 trueLeft = secondsToCount(now, page.endAt);
    // Later by the minute, as the slot's end text counts, so that the seconds
    // a minute-exact reading drops never pass for an extension.
    const bool known = t.end().isValid();
    const bool later = known && toTheMinute(page.endAt) > toTheMinute(t.end());
    if (later && trueLeft > counted) {
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << n << ": extended from " << t.endText() << " to " << page.end << ", " << trueLeft
            << " s left on the service's clock";
        return { Kind::Extended, trueLeft, page.endAt, page.end };
    }
    if (counted <= 0) {
        // Waiting at the end: the page decides.
        if (trueLeft > 0) {
            qCInfo(lcAlarm).nospace()
                << "slot " << n << ": on the service's clock " << trueLeft << " s are left yet; counting on";
            return { Kind::CountsOn, trueLeft, t.end(), t.endText() };
        }
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << n << ": the page gives the end " << page.end << ", passed on the service's clock";
        return { Kind::Passed, 0, t.end(), t.endText() };
    }
    if (later) {
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << n << ": the page gives " << page.end << ", yet no more time (" << trueLeft
            << " s against " << counted << " s counted)";
        return {};
    }
    // Only the same end can set the count right, and only a page that gives
    // its seconds is a measure; an earlier end is no auction's rule.
    if (known && toTheMinute(page.endAt) == toTheMinute(t.end()) && page.exactSeconds
        && std::abs(trueLeft - counted) >= kCorrectionSeconds) {
        qCInfo(lcAlarm).nospace() << "slot " << n << ": " << trueLeft
                                  << " s left on the service's clock, not " << counted
                                  << "; counting from there";
        return { Kind::SetRight, trueLeft, page.endAt, t.endText() };
    }
    qCInfo(lcAlarm).nospace().noquote() << "slot " << n << ": end unchanged (" << page.end << ")";
    return {};
}
