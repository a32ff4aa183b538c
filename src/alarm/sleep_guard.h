#pragma once

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

class AuctionTimers;
class DesktopNotifier;
class SleepInhibitor;
class StateStore;

// Keeps the machine awake while an armed slot's alert or end is less than
// ten minutes away, and lets it sleep again as soon as none is. A laptop
// that suspended anyway (a closed lid) and woke after an end was missed is
// told so: the countdown raises no alert for an end that has passed.
//
// It looks at the timers when they change and at the moments when the next
// one comes within ten minutes, or its alert passes: no tick of its own.
class SleepGuard : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a clock that counts through suspend (the timers' own
    // steady clock), and on one that stops while the machine sleeps; their
    // gap grows by each sleep.
    using MsClock = std::function<qint64()>;
    static qint64 awakeClockMs();

    SleepGuard(const AuctionTimers &timers, const StateStore &settings, SleepInhibitor &inhibitor,
        DesktopNotifier &notifier, MsClock boot, MsClock awake = &SleepGuard::awakeClockMs,
        QObject *parent = nullptr);

    static constexpr int kNearSeconds = 600;

    // Looks at every armed slot now.
    void review();
    bool holding() const { return m_holding; }

private:
    void onEnded(int n);
    qint64 sleptMs() const;

    const AuctionTimers &m_timers;
    SleepInhibitor &m_inhibitor;
    DesktopNotifier &m_notifier;
    MsClock m_boot;
    MsClock m_awake;
    QTimer m_next;
    bool m_holding = false;
    // Each armed timer's end on the boot clock as last looked at (-1: not
    // armed), and the time slept as of the last look before it.
    struct End
    {
        qint64 atMs = -1;
        qint64 sleptMs = 0;
    };
    std::array<End, 10> m_ends {};
};
