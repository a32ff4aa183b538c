#pragma once

#include <QString>

class Clock;
class StateStore;

// Fills the store from larkvane.ini at start-up and writes it back. save() is
// the one save call: the exit uses it, and so does every change that must
// survive a crash (registration, cancel, snooze, slot end, settings applied,
// browser window closed).
class Persistence
{
public:
    Persistence(StateStore &store, QString bootDir);

    QString iniPath() const;

    // Start-up restore: sets boot_dir, reads settings and slots with their
    // floors and defaults, re-arms the slots whose end lies ahead.
    void restore(const Clock &clock);

    // Writes [pref], [Sound_File] and [Auction_File] in the exit's key order,
    // as one atomic replacement; other sections and lines stay as they were.
    // False when the file could not be written (the old file is left whole).
    bool save();

private:
    StateStore &m_store;
    QString m_bootDir;
};
