#pragma once

#include "slot_record.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class StateStore;

// The item a timer counts down to, as its page gave it.
struct AuctionItem
{
    QString title;
    QString url;
    // yy/mm/dd hh:mm, or "N/A" where the page gives none.
    QString start;
    // What it costs, as its page last said: whole yen and the number of
    // bids, -1 where no page has said.
    qint64 price = -1;
    qint64 bids = -1;

    // The auction's id, the last part of its page's path ("x123456789").
    QString auctionId() const;
    // The title as the windows and notifications show it (the auction id
    // where it has nothing visible); the title itself stays as read.
    QString displayName() const;
    // Only a page on the web can be read again for the end it really has.
    bool isOnTheWeb() const;
};

// The whole seconds a count starts with at `now`: from its last whole second
// to `end`, so that the count meets the true time left when its first tick
// comes on the next whole second. Every count, and every "has it passed", is
// this.
qint64 secondsToCount(const QDateTime &now, const QDateTime &end);

// "12,500円" and "6件", as the lists and the notices show them.
QString yenText(qint64 yen);
QString bidsText(qint64 bids);
// "現在 12,500円・入札 6件", or as much of it as is known; empty when nothing is.
QString priceLine(const AuctionItem &item);

// One timer slot: its item, its end to the second on the service's clock, its
// own lead, where it is in its life and what it has left. Every window and
// part asks it, and it alone, how long is left and whether it has ended.
// AuctionTimers steps it; nothing else changes it.
//
// The count is a count of ticks, one a second, never a reading of the wall
// clock: a steady clock that goes on through suspend says how many ticks are
// due, and whoever asks between two steps gets the count as it stands now.
class AuctionTimer
{
public:
    enum class State {
        Free, // no item
        Counting, // armed, its alert ahead (or none to come)
        Alerted, // armed, its alert raised
        Waiting, // armed at 0, for its page's word of the end
        Ended, // kept, not armed, until cleared or given another item
    };
    // Milliseconds on a clock that wall-clock changes do not move and that
    // keeps counting while the machine sleeps.
    using SteadyClock = std::function<qint64()>;

    AuctionTimer(int number, const StateStore &settings, const SteadyClock &steady);

    int number() const { return m_number; }
    State state() const;
    bool isFree() const { return m_life == Life::Free; }
    // Counting down, alerted or waiting at its end.
    bool isArmed() const { return m_life == Life::Armed; }
    bool hasEnded() const { return m_life == Life::Ended; }

    const AuctionItem &item() const { return m_item; }
    // The end as the slot keeps it, yy/mm/dd hh:mm (a hand-edited file's as
    // written), and as the instant it names: to the second where a page gave
    // seconds; invalid where the text names no date.
    QString endText() const { return m_endText; }
    QDateTime end() const { return m_end; }
    // As typed into a snooze; empty: the general lead applies.
    QString ownLead() const { return m_ownLead; }
    // The lead its alert comes at: its own, even "0", else the general one.
    double lead() const;
    // Whole seconds left now. Armed: the count after the seconds due since
    // its last step, never below 0 while it waits for its page's word. Not
    // armed: where its count stopped.
    qint64 secondsLeft() const;
    // Waits at 0 for its page to say the end, instead of ending there.
    bool waitsAtEnd() const { return m_item.isOnTheWeb(); }
    // When its count reaches 0, on the steady clock (-1: not armed).
    qint64 endDueMs() const;
    // Changes with every new item and every cancel: whoever shows one item
    // can tell whether the timer still holds it.
    quint64 generation() const { return m_generation; }

    // What the settings file keeps of it.
    SlotRecord record() const;

private:
    friend class AuctionTimers;
    // Ticks that have come since the last step.
    qint64 dueTicks() const;

    int m_number;
    const StateStore &m_settings;
    const SteadyClock &m_steady;

    AuctionItem m_item;
    QString m_endText;
    QDateTime m_end;
    QString m_ownLead;
    enum class Life { Free, Armed, Ended };
    Life m_life = Life::Free;
    // Its alert has come, and the count has not gone above its lead since.
    bool m_alerted = false;
    quint64 m_generation = 0;

    // Seconds left as counted at the last step (or set since by a read).
    qint64 m_left = 0;
    // Seconds left right after the last step: the alert comes when the
    // count passes its lead between two steps.
    qint64 m_leftAfterStep = 0;
    // What the status line shows for it: the count of its latest tick
    // (0 before its first, the old item's until a new item's first).
    qint64 m_shownLeft = 0;
    // The steady time one second before its first tick, and the ticks run.
    qint64 m_armedAtMs = -1;
    qint64 m_ticksRun = 0;
    // The reminders (seconds before the end) given since it was armed.
    QList<qint64> m_reminded;
};
