#pragma once

#include "page_fetcher.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <limits>

class AuctionTimer;
class ServiceClock;
struct PageReading;

// Follows every armed timer to the end its auction really has. A bid in the
// last minutes moves the end of an auction with automatic extension, mostly
// in its last seconds, and this machine's clock may be off the service's: so
// near a timer's end its page is read again, and what the page says is
// weighed against the count.
//
// The page is read on the first step after arming while the host's clock is
// unknown, at the alert, on every whole minute of the last ten (600, 540, ...,
// 60 seconds left), and 15 and 5 seconds before the end. At 0 the timer waits,
// still armed, while the page is read every 5 seconds: it ends when the page
// says the auction closed or that the end has passed, or after 30 seconds
// without an answer that says either way; it counts on when the page gives
// more time.
//
// A part of AuctionTimers' step, which calls it after the count has caught up
// and before the alert; it changes no timer itself: what a read says goes
// back to the step as a verdict.
class ExtensionFollower
{
public:
    static constexpr int kFollowSeconds = 600;
    static constexpr int kIntervalSeconds = 60;
    static constexpr std::array<int, 2> kLastReads { 15, 5 };
    static constexpr int kEndReadSeconds = 5;
    static constexpr int kEndWaitSeconds = 30;
    // A count off the service's clock by less is left alone: the two tick
    // on seconds that need not meet.
    static constexpr int kCorrectionSeconds = 2;

    using SteadyClock = std::function<qint64()>;
    // An answer to a read of timer `n` holding item `generation`.
    using Answer = std::function<void(int n, quint64 generation, const QString &url, const FetchResult &)>;

    // `fetcher` must outlive the follower.
    ExtensionFollower(ServiceClock &clock, PageFetcher &fetcher, SteadyClock steady, Answer answer);
    ~ExtensionFollower();
    ExtensionFollower(const ExtensionFollower &) = delete;
    ExtensionFollower &operator=(const ExtensionFollower &) = delete;

    // Timer t counts anew (a new item, a restart): its reads start afresh,
    // as if its page had just been read with the count where it is.
    void armed(const AuctionTimer &t);
    // Timer t no longer counts (cleared or ended): a read in flight goes.
    void forget(int n);
    // A read moved t's count (an extension, or more time at 0): the minutes
    // are read again from there.
    void countMoved(const AuctionTimer &t);

    // The reminders, in seconds before the end: each is read just before.
    static constexpr int kReminderReadSeconds = 10;
    void setReminders(QList<qint64> seconds) { m_reminders = std::move(seconds); }

    // The reads of t that are due now, its count caught up; `alerting` when
    // its alert falls in this step. True when t, waiting at 0, has had no
    // word of its end for kEndWaitSeconds: it ends.
    bool step(const AuctionTimer &t, bool alerting);
    // Seconds of count until t's next read, for a count that sleeps between
    // its moments; -1 for none.
    qint64 secondsToNextRead(const AuctionTimer &t) const;

    // What a read of t's page says of its end, t's count caught up and `now`
    // the service's time for its host.
    struct Verdict
    {
        enum class Kind {
            Unchanged, // nothing that moves the count
            Closed, // the page says the auction has ended
            Passed, // waiting at 0, and the end has passed on the service's clock
            Extended, // a later end: the count goes on to it
            CountsOn, // waiting at 0, yet the service's clock gives more time
            SetRight, // the same end, but the count was off the service's clock
        };
        Kind kind = Kind::Unchanged;
        qint64 left = 0; // the count from now on
        QDateTime end; // the end from now on
        QString endText;
    };
    static Verdict weigh(const AuctionTimer &t, const PageReading &page, const QDateTime &now);

private:
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    struct Follow
    {
        PageFetcher::Id pending = 0;
        bool read = false; // read since armed
        qint64 lastReadLeft = kNever; // the count when the last read began
        qint64 waitingSinceMs = -1; // at 0 since, on the steady clock
        qint64 lastWaitReadMs = -1;
    };

    const char *readDue(const AuctionTimer &t, const Follow &f, qint64 left, bool alerting) const;
    // The counts t's page is read at on its way to the end, highest first.
    QList<qint64> readingPoints(const AuctionTimer &t) const;
    void read(const AuctionTimer &t, const char *why);
    void cancel(Follow &f);

    ServiceClock &m_clock;
    PageFetcher &m_fetcher;
    SteadyClock m_steady;
    Answer m_answer;
    std::array<Follow, 10> m_follow;
    QList<qint64> m_reminders;
};
