#pragma once

#include <QDateTime>
#include <QString>

class StateStore;

// What is done to timer slot n, over the store's text fields (TimerText3,
// EndTime3, st3, ed3, ...), which stay text as the settings file holds them.
class Slot
{
public:
    // n from 1 to StateStore::kSlots.
    Slot(StateStore &store, int n);

    int number() const { return m_n; }

    // The item is forgotten: its name, times, address and own lead are
    // emptied, and the slot stops counting.
    void clear();

    // The count from `now` to `end`: whole seconds from the last whole second
    // (st 0, ed the seconds), so that it meets the true time left when the
    // first tick comes on the next one.
    void countTo(const QDateTime &end, const QDateTime &now);
    // Counts to `end` and arms the slot, its first tick on the next whole
    // second after `now`.
    void armUntil(const QDateTime &end, const QDateTime &now);

    // The end the slot's EndTime names, read as a settings file may hold it;
    // invalid when it names none.
    QDateTime end() const;
    // What the count has left: ed - st.
    double secondsLeft() const;
    // The lead its alert comes at: its own (a snooze's), even "0", else the
    // general one; an empty own lead is none.
    double lead() const;

private:
    StateStore &m_store;
    int m_n;
};
