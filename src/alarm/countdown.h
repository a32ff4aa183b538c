#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

struct Services;

// The once-a-second work of every armed slot: advance its count, rewrite the
// status line, raise the alert at the lead time and end the slot at zero.
//
// The count is a count of ticks, never a reading of the wall clock. A QTimer
// delivers one late tick, not the missed ones, after the process was stopped
// or the machine slept, which would leave the count behind the auction. So
// each armed slot also keeps a reference on a steady clock that goes on
// through suspend; a tick that comes more than a second late first runs the
// ticks that were missed, each under the same rules.
//
// That catch-up is also what keeps the program quiet: while no window shows
// the count, a slot's timer sleeps until the next second that matters (its
// alert, its end, a read of its page) and the ticks slept through are run
// then, so the count, the alert and the end are those of one tick a second.
// A window that shows the count brings back the tick every second.
class Countdown : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a clock that is not moved by changes of the wall clock
    // and keeps counting while the machine sleeps.
    using SteadyClock = std::function<qint64()>;
    static qint64 bootClockMs();

    explicit Countdown(
        Services &services, SteadyClock steady = &Countdown::bootClockMs, QObject *parent = nullptr);

    // One timer tick of slot n (connected to StateStore::tick).
    void tick(int n);
    // Runs the ticks of slot n that are due and have not run yet (none, when
    // it is up to date): for whoever reads its count between two wake-ups.
    void catchUp(int n);

    // Whether a window shows the count now; by default always, so every
    // second ticks. Call paceChanged() whenever the answer may have changed.
    void setWatched(std::function<bool()> watched) { m_watched = std::move(watched); }
    void paceChanged();
    // The time left, counted down, at which something else wants slot n
    // awake (a read of its page), below `left`; a negative value: nothing.
    void setWakeWanted(std::function<double(int n, double left)> wanted) { m_wakeWanted = std::move(wanted); }

    // When slot n's next tick is due on the steady clock (-1: not armed).
    qint64 nextTickDueMs(int n) const;
    // A sleeping slot wakes at least this often.
    static constexpr int kLongestSleepSeconds = 3600;

    // The end of slot n's auction: closes the windows that show slot data,
    // disarms the slot and empties the status line. The slot stays occupied.
    void endSlot(int n);

    // The windows an end closes, in the order they are closed.
    static QStringList windowsClosedAtEnd();

    // Whether slot n, its count run out, waits at 0 for word of its end
    // instead of ending; whoever says yes ends it with endSlot().
    void setEndHold(std::function<bool(int)> holds) { m_endHold = std::move(holds); }

private:
    void run(int n, qint64 atLeast);
    bool step(int n, bool last, bool alertPending);
    // Seconds of count until slot n's next moment that matters.
    qint64 secondsToNextMoment(int n) const;
    void plan(int n);
    void raiseAlert(int n, double secondsLeft);
    QString statusText() const;
    void onArmedChanged(int n, bool armed);
    void onValueChanged(const QString &name);

    struct Memory
    {
        double elapsed = 0;
        double total = 0;
    };
    struct Pace
    {
        qint64 armedAtMs = -1; // -1: not known yet
        qint64 ticksRun = 0;
    };

    Services &m_services;
    SteadyClock m_steady;
    std::array<Memory, 10> m_memory {};
    std::array<Pace, 10> m_pace {};
    // The time left after each slot's last step since it was armed (NaN:
    // none yet), to see a count set right jump over the lead.
    std::array<double, 10> m_lastLeft {};
    std::function<bool(int)> m_endHold;
    std::function<bool()> m_watched;
    std::function<double(int, double)> m_wakeWanted;
    std::array<qint64, 10> m_nextDue {};
};
