#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <limits>

#include "page_fetcher.h"

class Persistence;
class ServiceClock;
class StateStore;
class StatusLine;

// Follows every armed slot to the end its auction really has. A bid in the
// last minutes moves the end of an auction with automatic extension, mostly
// in its last seconds, and this machine's clock may be off the service's: so
// near a slot's end its page is read again, a later end moves the slot's end
// (its lead comes round again), and a count that the service's clock
// contradicts is set right.
//
// The page is read on the first tick after arming while the host's clock is
// unknown, at the slot's alert, once a minute in its last ten minutes, and
// 15 and 5 seconds before its end. At 0 the slot waits, still armed, while
// the page is read every 5 seconds: it ends when the page says the auction
// closed or that the end has passed, or after 30 seconds without an answer
// that says either way; it counts on when the page gives more time.
//
// It only rewrites EndTimeN and edN and saves; ending a slot and showing a
// desktop notification are asked for through its signals.
class ExtensionFollower : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFollowSeconds = 600;
    static constexpr int kIntervalSeconds = 60;
    static constexpr std::array<int, 2> kLastReads { 15, 5 };
    static constexpr int kEndReadSeconds = 5;
    static constexpr int kEndWaitSeconds = 30;
    // A count off the service's clock by less is left alone: the two tick
    // on seconds that need not meet.
    static constexpr int kCorrectionSeconds = 2;

    // Milliseconds on a clock that wall-clock changes do not move.
    using SteadyClock = std::function<qint64()>;

    // Follows StateStore::tick on its own. `fetcher` must outlive it.
    ExtensionFollower(StateStore &store, Persistence &persistence, ServiceClock &clock, PageFetcher &fetcher,
        StatusLine &statusLine, SteadyClock steady, QObject *parent = nullptr);
    ~ExtensionFollower() override;

    // Whether slot n, its count run out, waits for its page's word before it
    // ends (an address on the web).
    bool holdsAtEnd(int n) const;
    // The time left at which slot n is next to be read, the first below
    // `left` as it counts down; -1 for none. A count that sleeps between its
    // moments wakes for these.
    double nextReadLeft(int n, double left) const;
    // Brings slot n's count up to date before a read's answer is weighed
    // against it (a count that sleeps lags between its wake-ups).
    void setCountSync(std::function<void(int n)> sync) { m_countSync = std::move(sync); }

Q_SIGNALS:
    // End slot n now, as at its end: its auction has closed, or its end has
    // passed on the service's clock, or its page could not say in time.
    void slotEnded(int n);
    // A text for the desktop notification ("終了時間が延長されました（…）")
    // about slot n.
    void notification(const QString &text, int n);

private:
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    struct Follow
    {
        PageFetcher::Id pending = 0;
        QString url;
        bool read = false; // read since armed
        qint64 lastReadLeft = kNever; // the time left when the last read began
        bool alertAhead = false; // the time left was above the lead since the last alert read
        qint64 waitingSinceMs = -1; // at 0 since, on the steady clock
        qint64 lastWaitReadMs = -1;
    };

    void onTick(int n);
    void onArmedChanged(int n, bool armed);
    void read(int n, const QString &url, const char *why);
    void onFetched(int n, const QString &url, const FetchResult &result);
    void setLeft(int n, qint64 left);
    void cancel(int n);

    StateStore &m_store;
    Persistence &m_persistence;
    ServiceClock &m_clock;
    PageFetcher &m_fetcher;
    StatusLine &m_statusLine;
    SteadyClock m_steady;
    std::function<void(int)> m_countSync;
    std::array<Follow, 10> m_follow;
};
