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

    // The end of slot n's auction: closes the windows that show slot data,
    // disarms the slot and empties the status line. The slot stays occupied.
    void endSlot(int n);

    // The windows an end closes, in the order they are closed.
    static QStringList windowsClosedAtEnd();

    // Whether slot n, its count run out, waits at 0 for word of its end
    // instead of ending; whoever says yes ends it with endSlot().
    void setEndHold(std::function<bool(int)> holds) { m_endHold = std::move(holds); }

private:
    bool step(int n, bool last, bool alertPending);
    void raiseAlert(int n, double secondsLeft);
    QString statusText() const;
    void onArmedChanged(int n, bool armed);

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
};
