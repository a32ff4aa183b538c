#pragma once

#include "auction_timer.h"
#include "background_page_reader.h"
#include "extension_follower.h"
#include "persistence.h"
#include "slot_record.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class PageFetcher;
class ServiceClock;
class SoundPlayer;
class StateStore;
class StatusLine;
class WindowRegistry;
struct FetchResult;
struct PageReading;

// The ten timer slots and the one step that moves them. Each wake-up steps
// every armed timer, in slot order, and each step goes in one order: catch
// the count up on the steady clock (through a stop or a sleep, the ticks
// missed are run), then the reads of its page that are due, then the alert,
// then the end. Nothing else moves a timer's count.
//
// While no window shows the count, a timer sleeps until its next moment (its
// alert, a read of its page, its end, at least once an hour); the seconds
// slept through are run when it wakes, so the count, the alert and the end
// are those of one tick a second. A window that shows the count brings back
// the step every second, on the whole seconds every count was started on.
class AuctionTimers : public QObject, public SlotSource
{
    Q_OBJECT
public:
    using SteadyClock = AuctionTimer::SteadyClock;
    // CLOCK_BOOTTIME: counts the time spent in suspend, as auctions go on
    // ending while the laptop sleeps.
    static qint64 bootClockMs();
    static constexpr int kLongestSleepSeconds = 3600;

    // `fetcher` reads the pages of the armed timers; it must outlive this.
    AuctionTimers(StateStore &settings, Persistence &persistence, ServiceClock &clock, SoundPlayer &sound,
        WindowRegistry &windows, StatusLine &statusLine, PageFetcher &fetcher,
        SteadyClock steady = &AuctionTimers::bootClockMs, QObject *parent = nullptr);
    ~AuctionTimers() override;

    // n from 1 to kSlotCount.
    const AuctionTimer &timer(int n) const;

    // Start-up: the slots as the file keeps them; those whose end is still
    // ahead count down again.
    void restore(const Persistence::Slots &slots);
    // A new item into slot n, counting to `end` from now on the service's
    // clock of its host; the slot's own lead goes with the old item.
    void assign(int n, const AuctionItem &item, const QDateTime &end);
    // The item is forgotten and the slot stops counting.
    void clear(int n);
    // A snooze: `typed` becomes the lead of slot n, if it still holds the
    // item of `generation`. False when it does not.
    bool setOwnLead(int n, quint64 generation, const QString &typed);

    // Seconds a count to `end` would start with now, on the service's clock
    // of `url`'s host: <= 0 when the end has passed.
    qint64 secondsUntil(const QString &url, const QDateTime &end) const;
    // Slots not counting down, which a registration may take.
    QList<int> unarmed() const;

    // Whether a window shows the count now; by default always. Call
    // paceChanged() whenever the answer may have changed.
    void setWatched(std::function<bool()> watched);
    void paceChanged();
    // Steps every timer whose seconds are due (what the wake-up does).
    void runDue();
    // The next wake-up on the steady clock; -1 when nothing is armed.
    qint64 nextWakeMs() const;

    // The windows an end closes, in the order they are closed.
    static QStringList windowsClosedAtEnd();
    // The reminders a setting names ("1440,60": minutes before the end), in
    // seconds, highest first; what is no whole number of minutes is left out.
    static QList<qint64> reminderSeconds(const QString &setting);
    // The reminder's own words: "1日", "3時間", "10分".
    static QString reminderText(qint64 seconds);

    // Reads the slots' pages on a thread of their own (the program does;
    // tests on driven clocks read them at once).
    void setReadOnWorker(bool on) { m_reader.setOnWorker(on); }

    SlotRecord slotRecord(int n) const override;

Q_SIGNALS:
    // Slot n has a new item, end, lead or state (not every second's count).
    void changed(int n);
    void alerted(int n);
    void ended(int n);
    // News of slot n for the desktop notification ("終了時間が延長されました（…）").
    void notice(const QString &text, int n);

private:
    AuctionTimer &at(int n);
    void arm(AuctionTimer &t, qint64 left, int firstTickMs);
    void step(AuctionTimer &t);
    void raiseAlert(AuctionTimer &t);
    void remind(AuctionTimer &t, qint64 before);
    void takePrices(AuctionTimer &t, const PageReading &page, bool ended);
    void end(AuctionTimer &t);
    void takeReading(int n, quint64 generation, const QString &url, const FetchResult &result);
    void takePage(
        int n, quint64 generation, const QUrl &pageUrl, const FetchResult &result, const PageReading &page);
    qint64 secondsToNextMoment(const AuctionTimer &t) const;
    qint64 nextDueMs(const AuctionTimer &t) const;
    void plan();
    void updateAlerted(AuctionTimer &t);
    QString statusText() const;
    bool watched() const { return !m_watched || m_watched(); }

    StateStore &m_settings;
    Persistence &m_persistence;
    ServiceClock &m_clock;
    SoundPlayer &m_sound;
    WindowRegistry &m_windows;
    StatusLine &m_statusLine;
    SteadyClock m_steady;
    std::function<bool()> m_watched;
    QList<qint64> m_reminders;
    int m_alertSlot = 0; // whose alert the window shows, or showed last
    // Alerts this close after one that sounded are heard as that one.
    static constexpr qint64 kOneSoundMs = 1000;
    qint64 m_soundedAtMs = -1;
    std::array<std::unique_ptr<AuctionTimer>, kSlotCount> m_timers;
    ExtensionFollower m_follower;
    QTimer m_wake;
    // Pages are read here, or on a thread of their own where set; first to
    // go, so that no reading comes back to a half-gone set of timers.
    BackgroundPageReader m_reader;
};
